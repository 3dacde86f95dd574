// The view side of the main window: ApplyLayout, the view switches, the font menu, the focus
// buttons and the about box.
//
// ApplyLayout: [Display] TabCount (4) for the text view; [Window] CutPattern ("Top"), BHeight
// (80) and BWidth (100); [Display] PanelPlane (Y) and, for the three-pane display,
// [Window] SetPattern ("AST"); then the panes are placed (pane_layout.h) and the window
// repaints.
//
// Switches, each stored at once: ステータスバー [Display] ShowStatusBar, メッセージタブ
// ShowMessageTab, 全面表示 PanelPlane (stored as the inverse of its check mark, then
// ApplyLayout), the five toolbar switches the toolbar sections (written at shutdown). 全面表示
// first stores the pane sizes as they are (BWidth, BHeight, as shutdown does), so that
// ApplyLayout puts back the dividers where the user dragged them.
//
// Fonts: each font item opens the font dialog on its font and colour (font_color_dialog.h);
// OK applies the choice; the control's font is then written to [Fonts] under its prefix,
// after Cancel too. A font's colour is the text colour of its control (the quote font's
// colour is kept in the settings; the text view draws every line in the text colour).
// Design fonts, used for keys that are missing: the desktop's font for the tree and a
// Japanese fixed-pitch font for the list and the text (see BaseFont), at the desktop's size,
// in the desktop's text colour (system colour 8), quotes in navy.
#include "coding/cp932.h"
#include "store/settings.h"

#include "app/about_box.h"
#include "app/area_tree.h"
#include "app/font_color_dialog.h"
#include "app/help_manual.h"
#include "app/main_form.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/font_qt.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QTabBar>
#include <QUrl>

#include <cmath>

namespace pelorin {

namespace s = settings;

namespace {

constexpr int32_t kWindowTextColour = static_cast<int32_t>(0xFF000008u);  // system colour 8
constexpr int32_t kNavy = 0x800000;                                       // 0x00BBGGRR

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

// The desktop's font for the tree; for the list and the text a fixed-pitch font in which a
// double-byte character is exactly two columns wide (row templates and message texts line up
// by counting bytes): IPAGothic when the system has it, else the desktop's fixed-pitch font.
QFont BaseFont(bool fixed) {
    if (!fixed)
        return QApplication::font();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString japanese = QStringLiteral("IPAGothic");
    if (QFontDatabase::families().contains(japanese))
        font.setFamily(japanese);
    font.setPointSizeF(QApplication::font().pointSizeF());
    return font;
}

}  // namespace

std::string_view TMainForm::FontPrefix(FontSlot slot) {
    switch (slot) {
        case GroupsFont:
            return s::kFontGroups;
        case SubjFont:
            return s::kFontSubj;
        case TextFont:
            return s::kFontText;
        case QuoteFont:
            return s::kFontQuote;
        case MonoSpaceFont:
        case kFontSlots:
            break;
    }
    return s::kFontMonoSpace;
}

TFont TMainForm::DesignFont(FontSlot slot) const {
    const QFont base = BaseFont(slot != GroupsFont);
    TFont font;
    font.name = slot != GroupsFont ? FromQString(base.family()) : std::string();
    font.size = base.pointSizeF() > 0 ? static_cast<int32_t>(std::lround(base.pointSizeF())) : 9;
    font.color = slot == QuoteFont ? kNavy : kWindowTextColour;
    font.charSet = 128;
    return font;
}

void TMainForm::ApplyFont(FontSlot slot) {
    const TFont& description = fonts_[slot];
    const QFont font = ToQFont(description, BaseFont(slot != GroupsFont));
    const QColor colour = ToQColor(description.color, QApplication::palette());
    switch (slot) {
        case GroupsFont:
            tree_->setFont(font);
            SetTextColour(tree_, colour);
            break;
        case SubjFont:
            list_->setFont(font);
            SetTextColour(list_, colour);
            break;
        case TextFont:
            text_->SetTextFont(font);
            SetTextColour(text_, colour);
            break;
        case QuoteFont:
            text_->SetQuoteFont(font);
            text_->SetQuoteColor(colour);
            break;
        case MonoSpaceFont:
        case kFontSlots:
            text_->SetMonoFont(font);
            break;
    }
}

void TMainForm::ChooseFont(FontSlot slot) {
    (void)ChooseFontAndColour(fonts_[slot], BaseFont(slot != GroupsFont), this);
    ApplyFont(slot);
    WriteFont(*ini_, s::kFonts, FontPrefix(slot), fonts_[slot]);
}

void TMainForm::ApplyLayout() {
    text_->SetTabCount(ReadNumber(*ini_, s::kDisplay, s::kTabCount, s::kDefaultTabCount));
    TLayoutSettings layout;
    layout.cutPattern = ReadText(*ini_, s::kWindow, s::kCutPattern, s::kDefaultCutPattern);
    const bool stacked = layout.cutPattern == "Left" || layout.cutPattern == "Right";
    if (stacked) {
        layout.bWidth = ReadNumber(*ini_, s::kWindow, s::kBWidth, s::kDefaultBWidth);
        layout.bHeight = ReadNumber(*ini_, s::kWindow, s::kBHeight, s::kDefaultBHeight);
    } else {
        layout.bHeight = ReadNumber(*ini_, s::kWindow, s::kBHeight, s::kDefaultBHeight);
        layout.bWidth = ReadNumber(*ini_, s::kWindow, s::kBWidth, s::kDefaultBWidth);
    }
    layout.panelPlane = ReadFlag(*ini_, s::kDisplay, s::kPanelPlane, true);
    if (layout.panelPlane)
        layout.setPattern = ReadText(*ini_, s::kWindow, s::kSetPattern, s::kDefaultSetPattern);
    panes_->Apply(layout);
    update();
}

void TMainForm::ToggleToolbar(int index, bool on) {
    toolbars_->SetWanted(index, on);
}

void TMainForm::ToggleStatusBar(bool on) {
    status_->setVisible(on);
    WriteFlag(*ini_, s::kDisplay, s::kShowStatusBar, on);
}

void TMainForm::ToggleMessageTab(bool on) {
    tabs_->setVisible(on);
    WriteFlag(*ini_, s::kDisplay, s::kShowMessageTab, on);
}

void TMainForm::ToggleDispMode(bool full) {
    StorePaneSizes();
    WriteFlag(*ini_, s::kDisplay, s::kPanelPlane, !full);
    ApplyLayout();
}

void TMainForm::StorePaneSizes() {
    TIniF::Update batch(*ini_);
    if (panes_->SideBySide()) {
        ini_->WriteInteger(s::kWindow, s::kBHeight, panes_->BHeight());
        ini_->WriteInteger(s::kWindow, s::kBWidth, panes_->BWidth());
    } else {
        ini_->WriteInteger(s::kWindow, s::kBWidth, panes_->BWidth());
        ini_->WriteInteger(s::kWindow, s::kBHeight, panes_->BHeight());
    }
}

void TMainForm::FocusAreas() {
    tree_->setFocus();
}

void TMainForm::FocusList() {
    if (area_)
        list_->setFocus();
}

void TMainForm::HelpContents() {
    const QString manual = FindManual(QCoreApplication::applicationDirPath());
    if (manual.isEmpty()) {
        (void)dialogs_->MessageBox(Sjis("操作説明が見つかりません。"), MsgIcon::Warning,
                                   MsgButtons::Ok);
        return;
    }
    if (openManual)
        openManual(manual);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

void TMainForm::HelpAbout() {
    TAboutBox box(versionText_, this);
    box.exec();
}

}  // namespace pelorin
