// 検索: the search window (see search_window.h).
#include "app/search_window.h"

#include "coding/cp932.h"
#include "select/search_run.h"
#include "store/dates.h"
#include "store/grp.h"
#include "store/soup.h"

#include "view/sjis_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pelorin {
namespace {

// Rows whose line of text is read at once; the rest stay without one, so that a query that
// finds tens of thousands of messages does not read them all.
constexpr int kSnippetRows = 300;

QString DateText(TMsg& m) {
    const std::string& key = m.SortDate();
    return ToQString(DateField(key, 'Y') + "/" + DateField(key, 'm') + "/" + DateField(key, 'd') +
                     " " + DateField(key, 'H') + ":" + DateField(key, 'M'));
}

}  // namespace

TSearchWindow::TSearchWindow(Host host, QWidget* parent)
    : QDialog(parent)
    , host_(std::move(host))
    , index_(std::make_unique<SearchIndex>()) {
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("検索"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    auto* row = new QHBoxLayout;
    query_ = new QLineEdit(this);
    query_->setObjectName(QStringLiteral("edQuery"));
    query_->setPlaceholderText(
        QStringLiteral("語句、\"語句\"、-除く語、OR、from: to: subject: "
                       "date:2026-01..2026-03 area: mark:- has:attachment /正規表現/"));
    row->addWidget(query_, 1);
    auto* go = new QPushButton(QStringLiteral("検索"), this);
    go->setObjectName(QStringLiteral("btSearch"));
    go->setDefault(true);
    row->addWidget(go);
    layout->addLayout(row);

    auto* options = new QHBoxLayout;
    scope_ = new QComboBox(this);
    scope_->setObjectName(QStringLiteral("cbScope"));
    scope_->addItems({QStringLiteral("このエリア"), QStringLiteral("このパケット"),
                      QStringLiteral("開いているすべてのパケット")});
    scope_->setCurrentIndex(AllPackets);
    options->addWidget(new QLabel(QStringLiteral("範囲:"), this));
    options->addWidget(scope_);
    fuzzy_ = new QCheckBox(QStringLiteral("あいまい検索"), this);
    fuzzy_->setObjectName(QStringLiteral("cbFuzzy"));
    fuzzy_->setChecked(true);
    options->addWidget(fuzzy_);
    options->addSpacing(16);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("lbCount"));
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance(QStringLiteral("0000000 件")));
    options->addWidget(count_);
    options->addStretch(1);
    layout->addLayout(options);

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("lbError"));
    error_->setStyleSheet(QStringLiteral("color: #b00020"));
    error_->setWordWrap(true);
    error_->hide();
    layout->addWidget(error_);

    auto* progressRow = new QHBoxLayout;
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("pbIndex"));
    progress_->setFormat(QStringLiteral("索引を作成中 %p%"));
    progressRow->addWidget(progress_, 1);
    cancel_ = new QPushButton(QStringLiteral("中止"), this);
    cancel_->setObjectName(QStringLiteral("btCancel"));
    progressRow->addWidget(cancel_);
    layout->addLayout(progressRow);
    progress_->hide();
    cancel_->hide();

    results_ = new QTreeWidget(this);
    results_->setObjectName(QStringLiteral("tvResults"));
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setHeaderLabels({QStringLiteral("マーク"), QStringLiteral("エリア"),
                               QStringLiteral("日付"), QStringLiteral("差出人"),
                               QStringLiteral("件名"), QStringLiteral("本文")});
    results_->header()->setStretchLastSection(true);
    // Room for a mark, an area name, "2026/01/31 12:00", a name and a subject; the line of
    // text takes the rest.
    const int em = fontMetrics().horizontalAdvance(QStringLiteral("あ"));
    const int widths[] = {4, 8, 10, 10, 16};
    for (int c = 0; c < 5; ++c) results_->setColumnWidth(c, widths[c] * em);
    layout->addWidget(results_, 1);
    resize(900, 520);

    connect(query_, &QLineEdit::returnPressed, this, &TSearchWindow::Search);
    connect(go, &QPushButton::clicked, this, &TSearchWindow::Search);
    connect(cancel_, &QPushButton::clicked, this, &TSearchWindow::Cancel);
    connect(results_, &QTreeWidget::itemActivated, this, &TSearchWindow::Activate);
}

TSearchWindow::~TSearchWindow() {
    Cancel();
    Join();
}

void TSearchWindow::SetIndexDirectory(const std::string& dir) {
    Cancel();
    Join();
    index_ = std::make_unique<SearchIndex>(dir);
}

void TSearchWindow::SetScope(Scope scope) {
    scope_->setCurrentIndex(scope);
}

void TSearchWindow::SearchFor(const QString& text) {
    // The selected text is searched as a phrase, its quotes taken out.
    QString q = text.simplified();
    q.remove(QLatin1Char('"'));
    query_->setText(q.contains(QLatin1Char(' ')) ? QLatin1Char('"') + q + QLatin1Char('"') : q);
    Search();
}

std::vector<TSoup*> TSearchWindow::ScopePackets() const {
    if (scope_->currentIndex() == AllPackets)
        return host_.packets ? host_.packets() : std::vector<TSoup*>{};
    TSoup* current = host_.currentPacket ? host_.currentPacket() : nullptr;
    return current ? std::vector<TSoup*>{current} : std::vector<TSoup*>{};
}

void TSearchWindow::Search() {
    error_->hide();
    try {
        pending_ = ParseSearchQuery(QStringToUtf8(query_->text()));
    } catch (const SearchQueryError& e) {
        error_->setText(
            Utf8ToQString(e.message) +
            QStringLiteral("（%1文字目）")
                .arg(QString::fromUtf8(QStringToUtf8(query_->text()).substr(0, e.position)).size() +
                     1));
        error_->show();
        return;
    }
    if (pending_.Empty()) {
        error_->setText(QStringLiteral("検索する語句を入力してください"));
        error_->show();
        return;
    }
    pendingArea_ =
        scope_->currentIndex() == ThisArea && host_.currentArea ? host_.currentArea() : nullptr;
    pendingPackets_ = ScopePackets();
    if (pendingPackets_.empty()) {
        error_->setText(QStringLiteral("開いているパケットがありません"));
        error_->show();
        return;
    }
    searching_ = true;
    StartIndexing(pendingPackets_);
}

void TSearchWindow::IndexInBackground(const std::vector<TSoup*>& packets) {
    if (Indexing() || packets.empty())
        return;
    searching_ = false;
    StartIndexing(packets);
}

void TSearchWindow::StartIndexing(const std::vector<TSoup*>& packets) {
    Cancel();
    Join();
    std::vector<IndexSource> sources;
    for (TSoup* p : packets) sources.push_back(IndexSource::Of(*p));
    cancel_flag_ = false;
    done_ = false;
    progress_->setRange(0, 0);
    progress_->show();
    cancel_->show();
    SearchIndex* index = index_.get();
    worker_ = std::thread([this, index, sources = std::move(sources)] {
        for (const IndexSource& s : sources) {
            if (cancel_flag_)
                break;
            index->Update(s, [this, last = -1](int64_t done, int64_t total) mutable {
                // Bytes, shown as a share in thousandths, once a step.
                const int step = total > 0 ? static_cast<int>(done * 1000 / total) : 1000;
                if (step != last) {
                    last = step;
                    QMetaObject::invokeMethod(
                        this,
                        [this, step] {
                            progress_->setRange(0, 1000);
                            progress_->setValue(step);
                        },
                        Qt::QueuedConnection);
                }
                return !cancel_flag_;
            });
        }
        done_ = true;
        QMetaObject::invokeMethod(
            this, [this] { FinishSearch(); }, Qt::QueuedConnection);
    });
}

void TSearchWindow::Cancel() {
    cancel_flag_ = true;
}

void TSearchWindow::Join() {
    if (worker_.joinable())
        worker_.join();
}

void TSearchWindow::FinishSearch() {
    Join();
    progress_->hide();
    cancel_->hide();
    if (!searching_)
        return;
    searching_ = false;
    // Packets closed while the index was brought up to date are left out.
    const std::vector<TSoup*> open = host_.packets ? host_.packets() : std::vector<TSoup*>{};
    std::vector<TSoup*> packets;
    for (TSoup* p : pendingPackets_)
        if (std::find(open.begin(), open.end(), p) != open.end())
            packets.push_back(p);
    found_.clear();
    try {
        for (const FoundMessage& f : RunSearch(*index_, pending_, packets, fuzzy_->isChecked()))
            if (!pendingArea_ || f.area == pendingArea_)
                found_.push_back({f.packet, f.area, f.msg});
    } catch (const SearchQueryError& e) {
        error_->setText(Utf8ToQString(e.message));
        error_->show();
    }
    ShowResults();
    emit searchFinished();
}

void TSearchWindow::ShowResults() {
    results_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(found_.size()));
    for (size_t i = 0; i < found_.size(); ++i) {
        TMsg& m = *found_[i].msg;
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString(QLatin1Char(m.mark)));
        item->setText(1, ToQString(found_[i].area->areaName));
        item->setText(2, DateText(m));
        item->setText(3, ToQString(m.From()));
        item->setText(4, ToQString(m.subject));
        if (static_cast<int>(i) < kSnippetRows)
            item->setText(5, Utf8ToQString(SearchSnippet(m, pending_)));
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        items.push_back(item);
    }
    results_->addTopLevelItems(items);
    count_->setText(QStringLiteral("%1 件").arg(found_.size()));
    if (!items.isEmpty())
        results_->setCurrentItem(items.front());
}

int TSearchWindow::ResultCount() const {
    return static_cast<int>(found_.size());
}

TMsg* TSearchWindow::ResultAt(int i) const {
    return i >= 0 && i < ResultCount() ? found_[static_cast<size_t>(i)].msg : nullptr;
}

QString TSearchWindow::ErrorText() const {
    return error_->isHidden() ? QString() : error_->text();
}

void TSearchWindow::Activate(QTreeWidgetItem* item) {
    if (!item || !host_.show)
        return;
    const auto i = item->data(0, Qt::UserRole).toULongLong();
    if (i >= found_.size())
        return;
    const Found& f = found_[i];
    // The packet may have closed, or the area been purged, since the search.
    const std::vector<TSoup*> open = host_.packets ? host_.packets() : std::vector<TSoup*>{};
    if (std::find(open.begin(), open.end(), f.packet) == open.end())
        return;
    const bool areaThere = std::any_of(f.packet->areas.begin(), f.packet->areas.end(),
                                       [&](const auto& a) { return a.get() == f.area; });
    if (!areaThere || std::none_of(f.area->messages.begin(), f.area->messages.end(),
                                   [&](const auto& m) { return m.get() == f.msg; }))
        return;
    host_.show(f.packet, f.area, f.msg);
}

}  // namespace pelorin
