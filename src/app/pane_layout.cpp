// The pane base and the placing of the panes (see pane_layout.h).
#include "app/pane_layout.h"

#include <QApplication>
#include <QSplitter>
#include <QStackedLayout>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace pelorin {
namespace {

// A container: its panes lie one over the other, all shown, the current one on top.
QWidget* MakeContainer(const char* name) {
    auto* panel = new QWidget;
    panel->setObjectName(QString::fromLatin1(name));
    auto* stack = new QStackedLayout(panel);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);
    return panel;
}

QStackedLayout* StackOf(QWidget* container) {
    return static_cast<QStackedLayout*>(container->layout());
}

void SetStretch(QWidget* w, int stretch) {
    QSizePolicy policy = w->sizePolicy();
    policy.setHorizontalStretch(stretch);
    policy.setVerticalStretch(stretch);
    w->setSizePolicy(policy);
}

int Extent(const QWidget* w, Qt::Orientation orientation) {
    return orientation == Qt::Horizontal ? w->width() : w->height();
}

// Sizes of a two-widget splitter so that `fixed` gets `size` pixels and the other one the
// rest (at least 1, so that it keeps its share of any growth).
void SetFixedSize(QSplitter* splitter, QWidget* fixed, int size) {
    const int total = Extent(splitter, splitter->orientation()) - splitter->handleWidth();
    const int rest = std::max(1, total - size);
    const int index = splitter->indexOf(fixed);
    splitter->setSizes(index == 0 ? QList<int>{size, rest} : QList<int>{rest, size});
}

}  // namespace

TPaneLayout::TPaneLayout(QWidget* areas, QWidget* list, QWidget* text, QWidget* parent)
    : QWidget(parent)
    , panes_{areas, list, text}
    , splitter2_(new QSplitter(Qt::Vertical))
    , strip_(new QSplitter(Qt::Horizontal))
    , panel1_(MakeContainer("Panel1"))
    , panel2_(MakeContainer("Panel2"))
    , panel3_(MakeContainer("Panel3")) {
    setObjectName(QStringLiteral("PaneBase"));
    splitter2_->setObjectName(QStringLiteral("Splitter2"));
    strip_->setObjectName(QStringLiteral("PanelBase23"));
    splitter2_->setChildrenCollapsible(false);
    strip_->setChildrenCollapsible(false);
    strip_->addWidget(panel2_);
    strip_->addWidget(panel3_);
    splitter2_->addWidget(strip_);
    splitter2_->addWidget(panel1_);
    // The strip and Panel2 keep their size; Panel1 and Panel3 take what the window gives.
    SetStretch(strip_, 0);
    SetStretch(panel1_, 1);
    SetStretch(panel2_, 0);
    SetStretch(panel3_, 1);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(splitter2_);
    Place(areas, panel2_);
    Place(list, panel3_);
    Place(text, panel1_);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

QWidget* TPaneLayout::ContainerOf(Pane pane) const {
    return panes_[pane]->parentWidget();
}

void TPaneLayout::Place(QWidget* pane, QWidget* container) {
    if (pane->parentWidget() == container)
        return;
    if (QWidget* old = pane->parentWidget(); old && old->layout())
        old->layout()->removeWidget(pane);
    StackOf(container)->addWidget(pane);
    pane->show();
}

void TPaneLayout::Apply(const TLayoutSettings& settings) {
    const std::string& cut = settings.cutPattern;
    if (cut == "Top" || cut == "Bottom" || cut == "Left" || cut == "Right") {
        sideBySide_ = cut == "Top" || cut == "Bottom";
        stripFirst_ = cut == "Top" || cut == "Left";
    }
    splitter2_->setOrientation(sideBySide_ ? Qt::Vertical : Qt::Horizontal);
    strip_->setOrientation(sideBySide_ ? Qt::Horizontal : Qt::Vertical);
    splitter2_->insertWidget(stripFirst_ ? 0 : 1, strip_);
    bWidth_ = settings.bWidth;
    bHeight_ = settings.bHeight;

    fullWindow_ = !settings.panelPlane;
    if (fullWindow_) {
        // The pane that has the focus stays in front; otherwise the area tree.
        QWidget* front = panes_[Areas];
        for (QWidget* pane : panes_) {
            if (QWidget* focus = QApplication::focusWidget();
                focus && (pane == focus || pane->isAncestorOf(focus)))
                front = pane;
        }
        for (QWidget* pane : panes_) Place(pane, panel1_);
        strip_->hide();
        BringToFront(front);
    } else {
        static constexpr const char* kPatterns[] = {"AST", "ATS", "SAT", "STA", "TAS", "TSA"};
        std::string pattern = settings.setPattern;
        const bool known =
            std::find(std::begin(kPatterns), std::end(kPatterns), pattern) != std::end(kPatterns);
        // An unknown pattern leaves the panes where they are; when they all lie in Panel1
        // (full-window display before) that would leave the strip empty, so they go back to
        // the first pattern.
        if (!known && ContainerOf(Areas) == ContainerOf(List))
            pattern = "AST";
        if (known || pattern == "AST") {
            QWidget* const containers[] = {panel2_, panel3_, panel1_};
            for (int i = 0; i < 3; ++i) {
                const char letter = pattern[static_cast<size_t>(i)];
                const Pane pane = letter == 'A' ? Areas : letter == 'S' ? List : Text;
                Place(panes_[pane], containers[i]);
            }
        }
        strip_->show();
    }
    // Tab order: areas, list, then the text pane's tab bar and text view.
    QWidget* areasFocus = panes_[Areas]->focusProxy() ? panes_[Areas]->focusProxy() : panes_[Areas];
    QWidget* listFocus = panes_[List]->focusProxy() ? panes_[List]->focusProxy() : panes_[List];
    QWidget::setTabOrder(areasFocus, listFocus);
    if (auto* tabs = panes_[Text]->findChild<QTabBar*>()) {
        QWidget::setTabOrder(listFocus, tabs);
        if (QWidget* text = panes_[Text]->focusProxy())
            QWidget::setTabOrder(tabs, text);
    }
    ApplySizes();
    update();
}

void TPaneLayout::ApplySizes() {
    if (sideBySide_) {
        SetFixedSize(splitter2_, strip_, bHeight_);
        SetFixedSize(strip_, panel2_, bWidth_);
    } else {
        SetFixedSize(splitter2_, strip_, bWidth_);
        SetFixedSize(strip_, panel2_, bHeight_);
    }
}

QWidget* TPaneLayout::FrontPane() const {
    QWidget* current = StackOf(panel1_)->currentWidget();
    return std::find(panes_.begin(), panes_.end(), current) != panes_.end() ? current : nullptr;
}

void TPaneLayout::BringToFront(QWidget* pane) {
    if (pane && pane->parentWidget() == panel1_)
        StackOf(panel1_)->setCurrentWidget(pane);
}

void TPaneLayout::OnFocusChanged(QWidget* now) {
    if (!fullWindow_ || !now)
        return;
    for (QWidget* pane : panes_) {
        if (pane == now || pane->isAncestorOf(now)) {
            BringToFront(pane);
            return;
        }
    }
}

int TPaneLayout::BWidth() const {
    if (fullWindow_ || !strip_->isVisible())
        return bWidth_;
    return sideBySide_ ? panel2_->width() : strip_->width();
}

int TPaneLayout::BHeight() const {
    if (fullWindow_ || !strip_->isVisible())
        return bHeight_;
    return sideBySide_ ? strip_->height() : panel2_->height();
}

void TPaneLayout::MoveBorder(int v, int h) {
    bWidth_ = BWidth();
    bHeight_ = BHeight();
    const bool stripOnTop = sideBySide_ && stripFirst_;
    const bool stripOnLeft = !sideBySide_ && stripFirst_;
    if (stripOnTop)
        bHeight_ += v;  // the strip's height
    if (!sideBySide_)
        bHeight_ += v;  // a stacked Panel2's height
    if (stripOnLeft)
        bWidth_ += h;  // the strip's width
    if (sideBySide_)
        bWidth_ += h;  // a side-by-side Panel2's width
    bWidth_ = std::max(bWidth_, 0);
    bHeight_ = std::max(bHeight_, 0);
    ApplySizes();
}

}  // namespace pelorin
