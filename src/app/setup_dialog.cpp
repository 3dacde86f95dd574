// The settings dialog: its frame, the ディレクトリ, メッセージ作成 and 印刷 pages, filling and
// reading the controls (see setup_dialog.h; the 画面表示 page is setup_display_page.cpp, the
// キーカスタマイズ page setup_key_page.cpp).
//
// 参照 of the editor and of the signature and 追加 open a file dialog starting at the edit's
// text (追加: at the last listed packet); 参照 of the two directories opens a directory dialog
// (which can make a new folder) and puts the chosen directory into the edit with a final "/".
// 追加 appends the AREAS file of the chosen file's directory, or says why it does not
// (store/setup_settings.h); 削除 is enabled by choosing an entry and removes it.
//
// The folder lists show なし, then "folder(packet)" for every folder of the open folder
// packets, then the stored folder when its packet is not open (so OK keeps it).
#include "app/setup_dialog.h"

#include "store/message_text.h"

#include "app/font_color_dialog.h"
#include "view/font_qt.h"
#include "view/sjis_qt.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pelorin {

std::function<void(TSetUpDlg&)> TESTING_ONLY_setUpDialogShown;

namespace {

QPushButton* Button(const QString& caption, const char* name) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* Edit(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QLabel* Label(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
}

std::string DefaultChooseFile(QWidget* parent,
                              const QString& caption,
                              const std::string& start,
                              const QString& filter) {
    const QString chosen = QFileDialog::getOpenFileName(parent, caption, ToQString(start), filter);
    return chosen.isEmpty() ? std::string() : FromQString(chosen);
}

std::string DefaultChooseDirectory(QWidget* parent, const std::string& start) {
    const QString chosen = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("フォルダの選択"), ToQString(start), QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? std::string() : FromQString(chosen);
}

void FillFolders(QComboBox* combo, const std::vector<FolderItem>& items, int index) {
    combo->clear();
    combo->addItem(QStringLiteral("なし"));
    for (const FolderItem& item : items) combo->addItem(ToQString(item.Text()));
    combo->setCurrentIndex(index);
}

// The folder pair of a folder list's choice; empty for なし or no choice.
void ChosenFolder(const QComboBox* combo,
                  const std::vector<FolderItem>& items,
                  std::string& folder,
                  std::string& packet) {
    const int i = combo->currentIndex();
    if (i <= 0 || static_cast<size_t>(i) > items.size()) {
        folder.clear();
        packet.clear();
        return;
    }
    folder = items[static_cast<size_t>(i - 1)].folder;
    packet = items[static_cast<size_t>(i - 1)].packet;
}

QString MemoText(const TSList& lines) {
    QStringList texts;
    for (const std::string& line : lines) texts << ToQString(line);
    return texts.join(QLatin1Char('\n'));
}

}  // namespace

std::string EditedText(const QString& shown, const std::string& read) {
    return shown == ToQString(read) ? read : FromQString(shown);
}

TSList MemoLines(const QString& text) {
    TSList lines;
    if (text.isEmpty())
        return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.size() > 1 && parts.constLast().isEmpty())
        parts.removeLast();
    for (const QString& part : parts) lines.push_back(FromQString(part));
    return lines;
}

TSetUpDlg::TSetUpDlg(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , dialogs_(dialogs) {
    setObjectName(QStringLiteral("SetUpDlg"));
    setWindowTitle(QStringLiteral("設定"));
    chooseFile = [this](const QString& caption, const std::string& start, const QString& filter) {
        return DefaultChooseFile(this, caption, start, filter);
    };
    chooseDirectory = [this](const std::string& start) {
        return DefaultChooseDirectory(this, start);
    };
    chooseFont = [this](TFont& font) { return ChooseFontAndColour(font, this->font(), this); };
    chooseColour = [this](int32_t& colour) {
        const QColor chosen =
            QColorDialog::getColor(ToQColor(colour, palette()), this, QStringLiteral("色の設定"));
        if (!chosen.isValid())
            return false;
        colour = FromQColor(chosen);
        return true;
    };

    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("PageControl1"));
    pages_->addTab(BuildDirectoryPage(), QStringLiteral("ディレクトリ"));
    pages_->addTab(BuildMessagePage(), QStringLiteral("メッセージ作成"));
    pages_->addTab(BuildDisplayPage(), QStringLiteral("画面表示"));
    pages_->addTab(BuildPrintPage(), QStringLiteral("印刷"));
    pages_->addTab(BuildKeyPage(), QStringLiteral("キーカスタマイズ"));

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* box = new QVBoxLayout(this);
    box->addWidget(pages_, 1);
    box->addWidget(buttons);
}

QWidget* TSetUpDlg::BuildDirectoryPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsDirectory"));
    lstAutoLoad_ = new QListWidget;
    lstAutoLoad_->setObjectName(QStringLiteral("lstAutoLoad"));
    QPushButton* add = Button(QStringLiteral("追加"), "cmdPktAdd");
    cmdPktDel_ = Button(QStringLiteral("削除"), "cmdPktDel");
    cmdPktDel_->setEnabled(false);
    connect(add, &QPushButton::clicked, this, [this] { cmdPktAddClick(); });
    connect(cmdPktDel_, &QPushButton::clicked, this, [this] { cmdPktDelClick(); });
    connect(lstAutoLoad_, &QListWidget::itemClicked, this, [this] { lstAutoLoadClick(); });
    connect(lstAutoLoad_, &QListWidget::currentRowChanged, this, [this] { lstAutoLoadClick(); });

    auto* autoGroup = new QGroupBox(QStringLiteral("自動読み込みパケット"));
    auto* autoButtons = new QVBoxLayout;
    autoButtons->addWidget(add);
    autoButtons->addWidget(cmdPktDel_);
    autoButtons->addStretch(1);
    auto* autoBox = new QHBoxLayout(autoGroup);
    autoBox->addWidget(lstAutoLoad_, 1);
    autoBox->addLayout(autoButtons);

    edtSendDir_ = Edit("edtSendDir");
    edtDataDir_ = Edit("edtDataDir");
    QPushButton* sendRef = Button(QStringLiteral("参照"), "cmdSendRef");
    QPushButton* dataRef = Button(QStringLiteral("参照"), "cmdDataRef");
    connect(sendRef, &QPushButton::clicked, this, [this] { cmdSendRefClick(); });
    connect(dataRef, &QPushButton::clicked, this, [this] { cmdDataRefClick(); });
    auto* dirs = new QGridLayout;
    dirs->addWidget(Label(QStringLiteral("デフォルト送信用ディレクトリ"), edtSendDir_), 0, 0, 1, 2);
    dirs->addWidget(edtSendDir_, 1, 0);
    dirs->addWidget(sendRef, 1, 1);
    dirs->addWidget(Label(QStringLiteral("データデコード用ディレクトリ"), edtDataDir_), 2, 0, 1, 2);
    dirs->addWidget(edtDataDir_, 3, 0);
    dirs->addWidget(dataRef, 3, 1);
    cmbSaveCharset_ = new QComboBox;
    cmbSaveCharset_->setObjectName(QStringLiteral("cmbSaveCharset"));
    cmbSaveCharset_->addItem(
        QStringLiteral("ロケールに従う（%1）")
            .arg(QString::fromLatin1(TextCharsetName(LocaleTextCharset()).data())),
        QString());
    cmbSaveCharset_->addItem(QStringLiteral("UTF-8"), QStringLiteral("UTF-8"));
    cmbSaveCharset_->addItem(QStringLiteral("Shift_JIS"), QStringLiteral("Shift_JIS"));
    dirs->addWidget(Label(QStringLiteral("保存するテキストの文字コード"), cmbSaveCharset_), 4, 0, 1,
                    2);
    dirs->addWidget(cmbSaveCharset_, 5, 0);

    auto* box = new QVBoxLayout(page);
    box->addWidget(autoGroup, 1);
    box->addLayout(dirs);
    return page;
}

QWidget* TSetUpDlg::BuildMessagePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsMessage"));
    edtEditor_ = Edit("edtEditor");
    edtQuote_ = Edit("edtQuote");
    edtRefer_ = Edit("edtRefer");
    edtSig_ = Edit("edtSig");
    edtReplyTo_ = Edit("edtReplyTo");
    cmbPosted_ = new QComboBox;
    cmbPosted_->setObjectName(QStringLiteral("cmbPosted"));
    cmbReserve_ = new QComboBox;
    cmbReserve_->setObjectName(QStringLiteral("cmbReserve"));
    QPushButton* editorRef = Button(QStringLiteral("参照"), "cmdEditorRef");
    QPushButton* sigRef = Button(QStringLiteral("参照"), "cmdSigRef");
    connect(editorRef, &QPushButton::clicked, this, [this] { cmdEditorRefClick(); });
    connect(sigRef, &QPushButton::clicked, this, [this] { cmdSigRefClick(); });

    auto* grid = new QGridLayout(page);
    int row = 0;
    grid->addWidget(Label(QStringLiteral("使用エディタ"), edtEditor_), row, 0);
    grid->addWidget(edtEditor_, row, 1);
    grid->addWidget(editorRef, row++, 2);
    grid->addWidget(Label(QStringLiteral("引用記号"), edtQuote_), row, 0);
    grid->addWidget(edtQuote_, row++, 1, 1, 2);
    grid->addWidget(Label(QStringLiteral("引用元の表示"), edtRefer_), row, 0);
    grid->addWidget(edtRefer_, row++, 1, 1, 2);
    grid->addWidget(Label(QStringLiteral("Signature ファイル"), edtSig_), row, 0);
    grid->addWidget(edtSig_, row, 1);
    grid->addWidget(sigRef, row++, 2);
    grid->addWidget(Label(QStringLiteral("返信先指定"), edtReplyTo_), row, 0);
    grid->addWidget(edtReplyTo_, row++, 1, 1, 2);
    grid->addWidget(Label(QStringLiteral("保存フォルダ"), cmbPosted_), row, 0);
    grid->addWidget(cmbPosted_, row++, 1, 1, 2);
    grid->addWidget(Label(QStringLiteral("保留フォルダ"), cmbReserve_), row, 0);
    grid->addWidget(cmbReserve_, row++, 1, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

QWidget* TSetUpDlg::BuildPrintPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsPrint"));
    mmPageLeftHeader_ = new QPlainTextEdit;
    mmPageLeftHeader_->setObjectName(QStringLiteral("mmPageLeftHeader"));
    mmPageLeftHeader_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmPageRightHeader_ = new QPlainTextEdit;
    mmPageRightHeader_->setObjectName(QStringLiteral("mmPageRightHeader"));
    mmPageRightHeader_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* headers = new QGroupBox(QStringLiteral("ページヘッダー"));
    auto* headerGrid = new QGridLayout(headers);
    headerGrid->addWidget(Label(QStringLiteral("左"), mmPageLeftHeader_), 0, 0);
    headerGrid->addWidget(Label(QStringLiteral("右"), mmPageRightHeader_), 0, 1);
    headerGrid->addWidget(mmPageLeftHeader_, 1, 0);
    headerGrid->addWidget(mmPageRightHeader_, 1, 1);

    auto* marginGroup = new QGroupBox(QStringLiteral("マージン"));
    auto* marginGrid = new QGridLayout(marginGroup);
    static const char* const kNames[4] = {"edtPrtTop", "edtPrtBottom", "edtPrtLeft", "edtPrtRight"};
    static const char* const kLabels[4] = {"上", "下", "左", "右"};
    for (int i = 0; i < 4; ++i) {
        margins_[static_cast<size_t>(i)] = Edit(kNames[i]);
        marginGrid->addWidget(
            Label(QString::fromUtf8(kLabels[i]), margins_[static_cast<size_t>(i)]), i / 2,
            (i % 2) * 2);
        marginGrid->addWidget(margins_[static_cast<size_t>(i)], i / 2, (i % 2) * 2 + 1);
    }

    auto* box = new QVBoxLayout(page);
    box->addWidget(headers, 1);
    box->addWidget(marginGroup);
    return page;
}

void TSetUpDlg::Load(const SetupSettings& s,
                     const std::vector<FolderItem>& openFolders,
                     TIniF& ini,
                     const TSList& subCommands) {
    read_ = s;
    // ディレクトリ
    lstAutoLoad_->clear();
    for (const std::string& path : s.autoLoad) lstAutoLoad_->addItem(ToQString(path));
    cmdPktDel_->setEnabled(false);
    edtSendDir_->setText(ToQString(s.outbound));
    edtDataDir_->setText(ToQString(s.dataPath));
    {
        const int found = cmbSaveCharset_->findData(QString::fromLatin1(
            s.saveCharset.empty() ? "" : TextCharsetName(ParseTextCharset(s.saveCharset)).data()));
        cmbSaveCharset_->setCurrentIndex(found < 0 ? 0 : found);
    }
    // メッセージ作成
    edtEditor_->setText(ToQString(s.externalEditor));
    edtQuote_->setText(ToQString(s.quoteCharacter));
    edtRefer_->setText(ToQString(s.refer));
    edtSig_->setText(ToQString(s.signatureFile));
    edtReplyTo_->setText(ToQString(s.replyTo));
    int index = 0;
    postedItems_ = FolderItems(openFolders, s.postedFolder, s.postedPacket, index);
    FillFolders(cmbPosted_, postedItems_, index);
    reserveItems_ = FolderItems(openFolders, s.reserveFolder, s.reservePacket, index);
    FillFolders(cmbReserve_, reserveItems_, index);
    // 画面表示
    LoadDisplayPage(s);
    // 印刷
    mmPageLeftHeader_->setPlainText(MemoText(s.printLeftHeader));
    mmPageRightHeader_->setPlainText(MemoText(s.printRightHeader));
    const int32_t margins[4] = {s.printTop, s.printBottom, s.printLeft, s.printRight};
    for (size_t i = 0; i < 4; ++i) margins_[i]->setText(QString::number(margins[i]));
    // キーカスタマイズ
    bindings_.Load(ini);
    cmbArg_->clear();
    for (const std::string& name : subCommands) cmbArg_->addItem(ToQString(name));
    cmbArg_->setEditText(QString());
    ShowCurrentBinding();
}

SetupSettings TSetUpDlg::Settings() const {
    SetupSettings s;
    for (int i = 0; i < lstAutoLoad_->count(); ++i) {
        const QString shown = lstAutoLoad_->item(i)->text();
        std::string path = FromQString(shown);
        for (const std::string& read : read_.autoLoad) {
            if (shown == ToQString(read))
                path = read;
        }
        s.autoLoad.push_back(path);
    }
    s.outbound = EditedText(edtSendDir_->text(), read_.outbound);
    s.dataPath = EditedText(edtDataDir_->text(), read_.dataPath);
    // The stored text stays as it was unless another choice was made.
    const std::string charset = cmbSaveCharset_->currentData().toString().toStdString();
    const std::string shown = read_.saveCharset.empty()
                                  ? ""
                                  : TextCharsetName(ParseTextCharset(read_.saveCharset)).data();
    s.saveCharset = charset == shown ? read_.saveCharset : charset;
    s.externalEditor = EditedText(edtEditor_->text(), read_.externalEditor);
    s.quoteCharacter = EditedText(edtQuote_->text(), read_.quoteCharacter);
    s.refer = EditedText(edtRefer_->text(), read_.refer);
    s.signatureFile = EditedText(edtSig_->text(), read_.signatureFile);
    s.replyTo = EditedText(edtReplyTo_->text(), read_.replyTo);
    ChosenFolder(cmbPosted_, postedItems_, s.postedFolder, s.postedPacket);
    ChosenFolder(cmbReserve_, reserveItems_, s.reserveFolder, s.reservePacket);
    ReadDisplayPage(s);
    // A memo still showing what it was loaded with gives the list as read (a list holding
    // only an empty line shows as an empty memo and must not turn into an empty list).
    auto memoList = [](const QPlainTextEdit* memo, const TSList& loaded) {
        const QString text = memo->toPlainText();
        return text == MemoText(loaded) ? loaded : MemoLines(text);
    };
    s.printLeftHeader = memoList(mmPageLeftHeader_, read_.printLeftHeader);
    s.printRightHeader = memoList(mmPageRightHeader_, read_.printRightHeader);
    int32_t* margins[4] = {&s.printTop, &s.printBottom, &s.printLeft, &s.printRight};
    for (size_t i = 0; i < 4; ++i) *margins[i] = MarginValue(FromQString(margins_[i]->text()));
    return s;
}

void TSetUpDlg::cmdEditorRefClick() {
    const std::string chosen =
        chooseFile(QStringLiteral("使用エディタ"), FromQString(edtEditor_->text()),
                   QStringLiteral("実行ファイル (*)"));
    if (!chosen.empty())
        edtEditor_->setText(ToQString(chosen));
}

void TSetUpDlg::cmdSigRefClick() {
    const std::string chosen =
        chooseFile(QStringLiteral("Signature ファイル"), FromQString(edtSig_->text()),
                   QStringLiteral("テキストファイル (*.txt);;すべてのファイル (*)"));
    if (!chosen.empty())
        edtSig_->setText(ToQString(chosen));
}

void TSetUpDlg::ChooseDirectoryInto(QLineEdit* edit) {
    std::string chosen = chooseDirectory(FromQString(edit->text()));
    if (chosen.empty())
        return;
    if (chosen.back() != '/')
        chosen += '/';
    edit->setText(ToQString(chosen));
}

void TSetUpDlg::cmdSendRefClick() {
    ChooseDirectoryInto(edtSendDir_);
}

void TSetUpDlg::cmdDataRefClick() {
    ChooseDirectoryInto(edtDataDir_);
}

void TSetUpDlg::cmdPktAddClick() {
    std::string start = "AREAS";
    if (lstAutoLoad_->count() > 0)
        start = FromQString(lstAutoLoad_->item(lstAutoLoad_->count() - 1)->text());
    const std::string chosen = chooseFile(QStringLiteral("自動読み込みパケット"), start,
                                          QStringLiteral("AREASファイル (AREAS areas)"));
    if (chosen.empty())
        return;
    TSList list;
    for (int i = 0; i < lstAutoLoad_->count(); ++i)
        list.push_back(FromQString(lstAutoLoad_->item(i)->text()));
    std::string message;
    if (AddAutoLoad(list, chosen, message) == AutoLoadAdd::Added) {
        lstAutoLoad_->addItem(ToQString(list.back()));
        return;
    }
    (void)dialogs_.MessageBox(message, MsgIcon::Information, MsgButtons::Ok);
}

void TSetUpDlg::lstAutoLoadClick() {
    cmdPktDel_->setEnabled(lstAutoLoad_->currentRow() >= 0);
}

void TSetUpDlg::cmdPktDelClick() {
    const int row = lstAutoLoad_->currentRow();
    if (row < 0)
        return;
    delete lstAutoLoad_->takeItem(row);
    lstAutoLoadClick();
}

}  // namespace pelorin
