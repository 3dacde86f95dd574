// FormCreate: the start-up sequence of the main window.
//
//  1. Month names: the core formats dates with English month names whatever the locale, so
//     there is nothing to set.
//  2. The settings file is <own directory>/pelorin.INI (the directory is created when
//     missing); the toolbar positions are restored from it.
//  3. The settings file is opened; empty history; nothing current.
//  4. Version text and caption "Pelorin " + version text.
//  5. Hints go to status panel 1 (TMainForm::event).
//  6. Window position and size: [Window] Top, Left, Width, Height; the position is the
//     frame's, the size the window's inside. Without a stored size (a first start) the window
//     takes three quarters of the screen's available area each way, centred, and the panes
//     their share of it (the area tree a quarter of the width, the strip of the small panes
//     two fifths of the height, or the same turned for a strip at the side); these are stored
//     as if the user had left them so. Stored bounds always win.
//  7. Fonts from [Fonts] Groups, Subj, Text, Quote, MonoSpace.
//  8. The toolbar switches from the toolbars restored in step 2.
//  9. [Display] ShowHeaders (N), ShowStatusBar (Y), PanelPlane (Y; 全面表示 is checked when N),
//     ShowMessageTab (Y), FixedPich (N), ShowImage (N).
// 10. New mail off; the no-area state.
// 11. Status line and tab bar shown as their switches say.
// 12. Text view: [Display] LineMergine (0), LeftMergine (0), TabCount (4), [Fonts]
//     ClickableColor (16711680), scroll rate 2.
// 13. [Display] BackPicture: a picture tiled behind the text when the file can be read.
// 14. WriteDefaults.
// 15. [Files] DataPath (the own directory): where decoded files go.
// 16. [Display] SortType (0) checks its list-order item.
// 17. ApplyLayout.
// 18. Outbound check: a REPLIES file longer than 0 bytes in [Files] Outbound is announced.
// 19. The packets of the auto-load list [Files] AutoLoad0, AutoLoad1, ... (in the order of
//     their numbers), then those of the command line: every argument whose last path
//     component is AREAS in any case ("/" or "\" separating components), made absolute. A
//     packet that is open already is skipped; an auto-load entry whose AREAS file is missing
//     is skipped silently, command-line ones are named together in one message box.
//
// Each packet opens on its own: an error in one is shown and the others still open.
#include "coding/cp932.h"
#include "store/packet_files.h"
#include "store/settings.h"

#include "app/app_version.h"
#include "app/area_tree.h"
#include "app/command_states.h"
#include "app/default_settings.h"
#include "app/main_form.h"
#include "app/own_dir.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/font_qt.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTabBar>

#include <algorithm>

namespace pelorin {

namespace s = settings;

void TMainForm::FormCreate(const QStringList& arguments) {
    // 2.
    ownDir_ = OwnDirectorySjis();
    MakeOwnDirectory();
    settingsPath_ = SettingsFilePath();
    Step([this] {
        TIniF positions(settingsPath_);
        toolbars_->Restore(positions);
    });
    // 3.
    ini_ = std::make_unique<TIniF>(settingsPath_);
    history_.Clear();
    packet_ = nullptr;
    area_ = nullptr;
    message_ = nullptr;
    // 4.
    versionText_ = BuildVersionText();
    setWindowTitle(ToQString("Pelorin " + versionText_));

    Step([this] {
        TIniF::Update batch(*ini_);
        // 6.
        if (!ini_->KeyExists(s::kWindow, s::kWidth) || !ini_->KeyExists(s::kWindow, s::kHeight))
            StoreFirstBounds();
        const int top = ReadNumber(*ini_, s::kWindow, s::kTop, s::kDefaultTop);
        const int left = ReadNumber(*ini_, s::kWindow, s::kLeft, s::kDefaultLeft);
        const int width = ReadNumber(*ini_, s::kWindow, s::kWidth, s::kDefaultWidth);
        const int height = ReadNumber(*ini_, s::kWindow, s::kHeight, s::kDefaultHeight);
        move(left, top);
        resize(std::max(width, 1), std::max(height, 1));
        // 7.
        for (int i = 0; i < kFontSlots; ++i) {
            const auto slot = static_cast<FontSlot>(i);
            fonts_[i] = DesignFont(slot);
            ReadFont(*ini_, s::kFonts, FontPrefix(slot), fonts_[i]);
            ApplyFont(slot);
        }
        // 8.
        for (int i = 0; i < TToolbars::kCount; ++i)
            commands_->Check(TToolbars::SwitchName(i), toolbars_->Wanted(i));
        // 9.
        commands_->Check("K7", ReadFlag(*ini_, s::kDisplay, s::kShowHeaders, false));
        commands_->Check("N3", ReadFlag(*ini_, s::kDisplay, s::kShowStatusBar, true));
        commands_->Check("mnuFill", !ReadFlag(*ini_, s::kDisplay, s::kPanelPlane, true));
        commands_->Check("mnuTab", ReadFlag(*ini_, s::kDisplay, s::kShowMessageTab, true));
        commands_->Check("mnuMonoSpace", ReadFlag(*ini_, s::kDisplay, s::kFixedPich, false));
        commands_->Check("mnuShowImage", ReadFlag(*ini_, s::kDisplay, s::kShowImage, false));
        // 10.
        commands_->Enable({"mnuNewMail", "ftbMail"}, false);
        EnterNoAreaState();
        // 11.
        status_->setVisible(commands_->Checked("N3"));
        tabs_->setVisible(commands_->Checked("mnuTab"));
        // 12.
        text_->SetLineMergine(
            ReadNumber(*ini_, s::kDisplay, s::kLineMergine, s::kDefaultLineMergine));
        text_->SetLeftMergine(
            ReadNumber(*ini_, s::kDisplay, s::kLeftMergine, s::kDefaultLeftMergine));
        text_->SetTabCount(ReadNumber(*ini_, s::kDisplay, s::kTabCount, s::kDefaultTabCount));
        text_->SetClickableColor(
            ToQColor(ReadNumber(*ini_, s::kFonts, s::kClickableColor, s::kDefaultClickableColor),
                     palette()));
        text_->SetScrollRate(2);
        // 13.
        const std::string picture = ReadText(*ini_, s::kDisplay, s::kBackPicture, "");
        if (!picture.empty() && FileSize(picture) >= 0) {
            const QPixmap pixmap(ToQString(picture));
            if (!pixmap.isNull())
                text_->SetBackPicture(pixmap);
        }
        // 14.
        WriteDefaults(*ini_, ownDir_);
        // 15.
        dataPath_ = ReadText(*ini_, s::kFiles, s::kDataPath, ownDir_);
        // 16. Only 1-4 name an order here (5 shows as none, unlike an area's order).
        const int sortType = ReadNumber(*ini_, s::kDisplay, s::kSortType, s::kDefaultSortType);
        CheckSortOrder(*commands_, sortType >= 1 && sortType <= 4 ? sortType : 0);
    });
    // 17.
    Step([this] { ApplyLayout(); });
    // 18.
    Step([this] {
        std::string outbound = ini_->ReadString(s::kFiles, s::kOutbound, "");
        if (outbound.empty())
            return;
        if (outbound.back() != '/')
            outbound += '/';
        const std::string replies = FindPacketFile(outbound + "REPLIES");
        if (FileSize(replies) > 0) {
            (void)dialogs_->MessageBox(replies + "\n" + Sjis("に送信パケットが残っています。") +
                                           "\n" + Sjis("送信し忘れないようにしましょう。"),
                                       MsgIcon::Information, MsgButtons::Ok);
        }
    });
    // 19.
    if (tree_->PacketCount() == 0) {
        TSList autoLoad;
        Step([&] { ReadList(*ini_, s::kFiles, s::kAutoLoad, autoLoad); });
        for (const std::string& path : autoLoad) {
            if (!path.empty() && !IsPacketOpen(path) && PacketFileExists(path))
                Step([&] { OpenPacket(path); });
        }
    }
    OpenArgumentPackets(arguments);
}

void TMainForm::StoreFirstBounds() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width = std::max(available.width() * 3 / 4, 1);
    const int height = std::max(available.height() * 3 / 4, 1);
    (void)ini_->WriteInteger(s::kWindow, s::kWidth, width);
    (void)ini_->WriteInteger(s::kWindow, s::kHeight, height);
    (void)ini_->WriteInteger(s::kWindow, s::kLeft, available.x() + (available.width() - width) / 2);
    (void)ini_->WriteInteger(s::kWindow, s::kTop,
                             available.y() + (available.height() - height) / 2);
    const std::string cut = ini_->ReadString(s::kWindow, s::kCutPattern, "Top");
    const bool side = cut == "Left" || cut == "Right";
    if (!ini_->KeyExists(s::kWindow, s::kBWidth))
        (void)ini_->WriteInteger(s::kWindow, s::kBWidth, side ? width * 2 / 5 : width / 4);
    if (!ini_->KeyExists(s::kWindow, s::kBHeight))
        (void)ini_->WriteInteger(s::kWindow, s::kBHeight, side ? height / 3 : height * 2 / 5);
}

void TMainForm::OpenArgumentPackets(const QStringList& arguments) {
    TSList missing;  // named together in one message
    for (QString argument : arguments) {
        argument.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString last = argument.section(QLatin1Char('/'), -1);
        if (last.compare(QStringLiteral("AREAS"), Qt::CaseInsensitive) != 0)
            continue;
        const std::string path =
            FromQString(QDir::cleanPath(QFileInfo(argument).absoluteFilePath()));
        if (IsPacketOpen(path))
            continue;
        if (PacketFileExists(path))
            Step([&] { OpenPacket(path); });
        else if (std::find(missing.begin(), missing.end(), path) == missing.end())
            missing.push_back(path);
    }
    if (missing.empty())
        return;
    std::string text = Sjis("次のパケットは見つからないため開けませんでした。");
    for (const std::string& path : missing) text += "\n" + path;
    (void)dialogs_->MessageBox(text, MsgIcon::Warning, MsgButtons::Ok);
}

}  // namespace pelorin
