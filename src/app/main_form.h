// TMainForm: the main window. It lays out the three panes (area tree, message list, text
// pane) with the toolbars, progress bar and status line, owns the open packets and the
// settings file, and runs start-up, shutdown and the packet and area commands:
//
//   main_form.cpp           widgets, menus, commands, the status-line hint, busy handling
//   main_form_startup.cpp   FormCreate: the start-up sequence
//   main_form_shutdown.cpp  FormClose: the shutdown sequence
//   main_form_packets.cpp   OpenPacket, IsPacketOpen, FileOpen, ClosePacket
//   main_form_areas.cpp     the area tree's clicks and keys, SelectArea, the command states
//   main_form_view.cpp      view switches, fonts, full-window display, the about box
//   main_form_navigation.cpp  next/previous/next unread, area moves, history, list order
//   main_form_tree_menu.cpp   the area tree's pop-up menu, new folder packet, new folder
//   main_form_display.cpp     DisplayMessage, DisplayPart, the display switches, text clicks
//   main_form_keys.cpp        key and mouse bindings and the functions they name
//   main_form_print.cpp       FilePrint, FilePrintSetup
//   main_form_actions.cpp     the message actions, the 編集 menu, the purge on exit
//   main_form_compose.cpp     the メッセージ menu: composition, re-edit, child messages, body
//                             requests, the address book
//   main_form_setup.cpp       設定: the settings dialog, storing and applying its settings
//
// Ownership: the window owns the packets (TSoup), each referred to by its node of the area
// tree; it keeps non-owning pointers to the current packet, area and message. The message
// list refers to the current area's messages and is emptied before any packet is closed.
#pragma once

#include "store/compose.h"
#include "store/dialogs.h"
#include "store/editor.h"
#include "store/font.h"
#include "store/inifile.h"
#include "store/soup.h"

#include "app/command_set.h"
#include "app/error_display.h"
#include "app/history.h"
#include "app/key_bindings.h"
#include "app/message_actions.h"
#include "app/pane_layout.h"
#include "app/toolbars.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QMenu;
class QPrinter;
class QProgressBar;
class QTabBar;
class QTreeWidgetItem;

namespace pelorin {

class TAll;
class TAreaTree;
class TMIMEc;
class TMIMEPart;
class TPictureFile;
class TMsgListBox;
class TQtEditor;
class TStatusLine;
class TTextView;
class TCMD;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window and runs the start-up sequence with the program's arguments (without
    // the program's name). `dialogs` answers every message box and input box (null: Qt
    // dialogs); it must outlive the window.
    explicit TMainForm(const QStringList& arguments,
                       TDialogs* dialogs = nullptr,
                       QWidget* parent = nullptr);
    // Runs the shutdown sequence if closing the window has not.
    ~TMainForm() override;

    // ---- packets (main_form_packets.cpp). Paths are Shift_JIS text.
    // Opens the packet whose AREAS file is `path`; a missing file offers to create a folder
    // packet there. False when nothing was opened.
    bool OpenPacket(const std::string& path);
    // Whether an open packet has the directory of `path` (compared without regard to case).
    bool IsPacketOpen(const std::string& path) const;
    // The open dialog, then OpenChosenFile.
    void FileOpen();
    void OpenChosenFile(const std::string& path);
    // A zip packet (main_form_zip.cpp): asks for a folder (through chooseUnpackFolder when
    // set, else a folder dialog), unpacks the packet into it and opens it there.
    void OpenZipPacket(const std::string& zipPath);
    std::function<std::string(const std::string& zipPath)> chooseUnpackFolder;  // tests
    // Closes the packet whose node is selected (nothing when an area node or none is).
    void ClosePacket();

    // ---- areas (main_form_areas.cpp).
    // Opens the selected area; `mark` other than 'A' also selects its first message with that
    // mark.
    void SelectArea(char mark);

    // ---- navigation (main_form_navigation.cpp). `mark` 0 is plain next.
    void StepNext(bool show, char mark);
    void StepPrev(bool show);
    // Opens the packet's next area with a message marked `mark`; false when there is none.
    bool NextAreaWithMark(char mark);
    // One page on in the text view; at the end StepNext(true, mark).
    void PageOn(char mark);
    void NextArea();
    void PrevArea();
    void HistoryBack();
    void HistoryForward();
    // One of the five list orders (0 none, 1 threads, 2 subject, 3 author, 4 date).
    void SetListOrder(int sortType);
    const THistory& History() const { return history_; }

    // ---- search (main_form_search.cpp).
    // Opens the search window (検索, Ctrl+F), searching for `text` when it is not empty.
    void OpenSearch(const QString& text = QString());
    // Shows a message the search found: its packet and area are opened, the display history
    // keeps where the window was, so 戻る comes back.
    void ShowFoundMessage(TGrp* area, TMsg* msg);
    // 記事の検索: the search window, searching for the text selected in the text view.
    void SearchSelectedText();
    // Brings the search index up to date with the open packets, off the GUI thread, a moment
    // after a packet opened.
    void ScheduleIndexing();
    class TSearchWindow* SearchWindow();

    // ---- the tree's pop-up menu (main_form_tree_menu.cpp).
    // Runs the menu's enabling for `node` (what tvMenuPopup does before the menu shows).
    void TvMenuPopup(QTreeWidgetItem* node);
    QMenu* TreeMenu() const { return treeMenu_; }
    void PmnChgName();
    void PmnUp();
    void PmnDown();
    void PmnFirst();
    void PmnLast();
    void PurgeArea();
    void NewFolderPacket();
    void NewFolder();

    // ---- showing messages (main_form_display.cpp).
    void DisplayMessage();
    void DisplayPart();
    // A picture file (its on-disk path) in the picture control over the text view, fitted
    // into the text pane; only with [Display] ShowImage Y. False when nothing is shown.
    bool ShowPictureFile(const QString& path);
    // Clears the picture and shows the text view again.
    void HidePicture();
    void ToggleShowHeaders();
    void ToggleMonoSpace();
    void ToggleShowImage(bool on);
    void Rot13Part();
    void PrevPart();
    void NextPart();
    void HScroll(int n);
    // A click on the text view: a clickable item, else the mouse binding.
    void TextClick(MouseButton button, Qt::KeyboardModifiers modifiers);
    void MarkAllAs(char to, char from);
    void MarkCurrentAs(char mark);
    // The URL opener (QDesktopServices by default); tests replace it.
    void SetUrlOpener(std::function<void(const std::string&)> opener) {
        urlOpener_ = std::move(opener);
    }

    // ---- keys (main_form_keys.cpp).
    // The key release of the whole window, with the key and modifiers of its press; true when
    // a binding took the key.
    bool FormKeyUp(int qtKey, Qt::KeyboardModifiers modifiers);
    bool ExecuteBinding(const std::string& value) { return bindings_.ExecuteBinding(value); }
    TKeyBindings& Bindings() { return bindings_; }
    char FocusContext() const { return focusContext_; }

    // ---- printing (main_form_print.cpp). FilePrint asks with the print dialog;
    // PrintMessage prints on `printer` as FilePrint does after the dialog.
    void FilePrint();
    void FilePrintSetup();
    bool PrintMessage(QPrinter& printer);

    // ---- writing messages (main_form_compose.cpp). `kind` is kMail or kNews.
    void ComposeMessage(int kind, bool answer);
    void ModifyMessage();
    void MakeNewChild();
    void SendMeClick();
    void EditAddressNote();
    // The external editor: a QProcess by default; tests may hand in their own (not owned).
    void SetEditor(TEditor* editor);
    TEditor& Editor();
    // How many editor waits are open.
    int EditorsRunning() const;

    // ---- message actions (main_form_actions.cpp, message_actions.h).
    void CollectChecked();
    void EditCopy();
    void SaveChecked();
    void DecodeChecked();
    void CopySelectedToFolder();
    void ClearChecks();
    // 削除マークを処理して終了(&X): the exit question, then the window closes (unless Cancel).
    void DelQuit();

    // ---- the マーク menu and the pop-up menus of the list and the text (main_form_menus.cpp).
    // Gives the checked messages (selected rows, else the shown one) the mark `mark`.
    void MarkChecked(char mark);
    // The whole shown message to the clipboard, whatever is selected (全体をコピー).
    void CopyWholeMessage();
    // The shown message's sender into the address book (アドレス帳へ追加).
    void AddSenderToAddressBook();
    QMenu* ListMenu() const { return listMenu_; }
    // Opens a file in the desktop's browser (操作説明); tests replace it.
    std::function<void(const QString& file)> openManual;
    QMenu* TextMenu() const { return textMenu_; }
    // Prepares the text view's pop-up menu and shows it at `globalPos` (modal).
    void PopupTextMenu(const QPoint& globalPos);

    // ---- sub-commands (main_form_subcmd.cpp). サブコマンド: the dialog, then its run;
    // ExecSubCommand: the stored command of that name without the dialog.
    void SubCommandClick();
    void ExecSubCommand(const std::string& name);
    int subCommandPauseMs = 100;  // the pause after each match of a run (tests shorten it)
    // The actions and their choosers (tests replace the save dialog and the folder dialog).
    TMessageActions& Actions() { return *actions_; }

    // ---- layout and view (main_form_view.cpp).
    void ApplyLayout();
    // 設定: the settings dialog, then what it stores and applies (main_form_setup.cpp).
    void SetUpClick();

    // ---- shutdown (main_form_shutdown.cpp); runs once.
    void FormClose();

    // ---- state.
    TSoup* CurrentPacket() const { return packet_; }
    TGrp* CurrentArea() const { return area_; }
    TMsg* CurrentMessage() const { return message_; }
    bool Busy() const { return busyDepth_ > 0 || bindings_.Executing(); }
    const std::string& VersionText() const { return versionText_; }
    TIniF& Settings() { return *ini_; }
    TDialogs& Dialogs() { return *dialogs_; }
    TCommandSet& Commands() { return *commands_; }
    TToolbars& Toolbars() { return *toolbars_; }

    // ---- the window's parts (for the commands of other files and for tests).
    TAreaTree* AreaTree() const { return tree_; }
    TMsgListBox* MessageList() const { return list_; }
    TTextView* TextView() const { return text_; }
    TAll* Image() const { return image_; }
    QTabBar* MimeTab() const { return tabs_; }
    TStatusLine* StatusLine() const { return status_; }
    QProgressBar* ProgressBar() const { return progress_; }
    TPaneLayout* Panes() const { return panes_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Hints (status tips) of the control under the mouse go to status panel 1.
    bool event(QEvent* event) override;
    // Key releases and focus changes of the panes (main_form_keys.cpp).
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The toolbar switches of the view menu, for the toolbar area's context menu.
    QMenu* createPopupMenu() override;

private:
    // Fonts of the five text places, with the [Fonts] key prefix of each.
    enum FontSlot { GroupsFont, SubjFont, TextFont, QuoteFont, MonoSpaceFont, kFontSlots };

    // main_form.cpp
    void BuildWidgets();
    void BuildCommands();
    void BuildMenus();
    void Repaint();
    void BeginBusy();
    void EndBusy();
    class BusyScope;
    // Runs a step of start-up or shutdown through the general error display.
    template <class F>
    void Step(F&& f);

    // main_form_startup.cpp
    void FormCreate(const QStringList& arguments);
    void OpenArgumentPackets(const QStringList& arguments);
    // [Window] bounds and pane sizes for a first start (main_form_startup.cpp, step 6).
    void StoreFirstBounds();

    // main_form_packets.cpp
    // A file of `packet` (may be null) could not be written: the area's caption (or the
    // packet's name), the file and the reason. The first report of a packet is a message box;
    // once its user was told, further reports go to the status line.
    void ReportWriteFailure(TSoup* packet, const std::string& caption, const WriteFailure& failure);
    void DestroyPacket(QTreeWidgetItem* node);

    // main_form_areas.cpp
    void TvAreasClick();
    void TvAreasKeyUp(QKeyEvent* event);
    void ResetAreaIcons();
    void UpdateAreaNodeText(QTreeWidgetItem* node);
    void EnterNoAreaState();
    void EnterPacketSelectedState(QTreeWidgetItem* node);
    void EnterAreaOpenState(QTreeWidgetItem* node);
    void EnterNoMessageState();
    void SetProgress(int percent);

    // main_form_navigation.cpp, main_form_tree_menu.cpp
    void BuildNavigationCommands();
    void BuildTreeMenu();
    void SelectNode(QTreeWidgetItem* node);
    void FollowHistory(const THistory::Entry* entry);
    void PushHistory();
    void UpdateHistoryButtons();
    std::vector<TSoup*> TreePackets() const;
    // What a composition from the window needs: settings, directories, editor, packets.
    ComposeEnv MakeComposeEnv(TDialogs& dialogs, THeaderFormView& form);

    // main_form_display.cpp
    void BuildDisplayCommands();
    void EnterMessageShownState();
    void ShowPartLines(bool focus);
    bool ShowImagePart(TMIMEPart& part);
    void PlacePicture();
    void EnterSelectionState();
    void ListBox2MouseUp();

    // main_form_keys.cpp
    void DefineBindings();
    void InstallKeyHandling();

    // main_form_print.cpp
    void BuildPrintCommands();

    // main_form_subcmd.cpp
    void BuildSubCommandCommands();
    void BuildSubCommandMenu();
    std::unique_ptr<TCMD> NewSubCommandDialog();
    void RunSubCommand(TCMD& dialog);

    // main_form_actions.cpp
    void BuildActionCommands();
    void BuildEditMenu();
    ActionScope Scope() const;
    // Flags every area holding delete-marked messages for the purge at shutdown.
    void FlagDeleteMarkedAreas();
    // The exit question when some area holds delete marks; false when the user cancelled.
    bool ConfirmExitPurge();
    // Purges the flagged areas of `packet` (before it is closed at shutdown).
    void PurgeFlaggedAreas(TSoup* packet);

    // main_form_compose.cpp
    class PacketInUse;
    class ExclusiveEdit;
    void BuildMessageCommands();
    void BuildMarkCommands();  // main_form_menus.cpp
    void BuildContextMenus();  // after the other menus: it takes their actions
    void BuildMessageMenu();
    void RedisplayKeptCopies();
    void RedisplayArea(TGrp* area);
    // True (after telling the user) when a composition will post into `packet`.
    bool RefuseWhileComposing(const TSoup* packet);
    // Closing while an editor runs: asks, and on OK abandons the waits; true when the close
    // may go ahead now.
    bool MayCloseWhileEditing();

    // main_form_view.cpp
    static std::string_view FontPrefix(FontSlot slot);
    TFont DesignFont(FontSlot slot) const;
    void ApplyFont(FontSlot slot);
    void ChooseFont(FontSlot slot);
    void ToggleToolbar(int index, bool on);
    void ToggleStatusBar(bool on);
    void ToggleMessageTab(bool on);
    void ToggleDispMode(bool full);
    // [Window] BWidth and BHeight from the panes as they are now.
    void StorePaneSizes();
    void FocusAreas();
    void FocusList();
    void HelpAbout();
    void HelpContents();  // 操作説明 (F1): the manual (help_manual.h), or why not

    // Settings and dialogs.
    std::unique_ptr<TDialogs> ownDialogs_;  // the Qt dialogs when none were given
    TDialogs* dialogs_;                     // not owned when given
    std::unique_ptr<TIniF> ini_;            // the settings file, open from start-up to shutdown
    std::string ownDir_;                    // own directory (Shift_JIS, ending with "/")
    std::string settingsPath_;              // <own directory>/pelorin.INI
    std::string versionText_;
    std::string dataPath_;  // where decoded files go ([Files] DataPath)

    // Packets and what is current.
    std::vector<std::unique_ptr<TSoup>> packets_;  // in the order opened
    TSoup* packet_ = nullptr;
    TGrp* area_ = nullptr;
    TMsg* message_ = nullptr;
    THistory history_;
    std::unique_ptr<TMIMEc> mime_;               // the shown message, decoded
    std::unique_ptr<TPictureFile> pictureFile_;  // the file the shown picture part is read from
    std::vector<TMIMEPart*> parts_;              // its parts, one per tab
    TKeyBindings bindings_;
    TKeyPresses keyPresses_;                   // the keys down in the panes, for their releases
    Qt::KeyboardModifiers releasedModifiers_;  // those of the press of the key last released
    char focusContext_ = kNoContext;
    std::function<void(const std::string&)> urlOpener_;
    std::unique_ptr<QPrinter> printer_;  // kept from the printer setup to the print dialog
    QMenu* treeMenu_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QMenu* textMenu_ = nullptr;
    int busyDepth_ = 0;
    bool mouseFlag_ = false;     // a mouse press on the tree or list, until a key is released
    bool closed_ = false;        // FormClose has run
    bool exitAnswered_ = false;  // the exit purge question was answered
    std::unique_ptr<TMessageActions> actions_;
    int lastProgress_ = -1;
    // Composition.
    TQtEditor* editor_ = nullptr;           // owned by the window (child object)
    TEditor* editorOverride_ = nullptr;     // a test's editor; not owned
    std::vector<TSoup*> composingPackets_;  // one entry per running composition
    bool exclusiveEdit_ = false;            // a re-edit or child message waits for the editor
    bool quitting_ = false;                 // closing after abandoning the editors' waits

    // Widgets (owned by the window).
    TAreaTree* tree_ = nullptr;
    TMsgListBox* list_ = nullptr;
    TTextView* text_ = nullptr;
    TAll* image_ = nullptr;  // the picture control over the text view (Image1)
    QTabBar* tabs_ = nullptr;
    QWidget* panelAreas_ = nullptr;
    QWidget* panelList_ = nullptr;
    QWidget* panelText_ = nullptr;
    TPaneLayout* panes_ = nullptr;
    QProgressBar* progress_ = nullptr;
    TStatusLine* status_ = nullptr;
    TCommandSet* commands_ = nullptr;
    std::unique_ptr<TToolbars> toolbars_;
    std::array<TFont, kFontSlots> fonts_;
};

// Long operations: the tree and the list are disabled, the busy flag is set and the wait
// cursor shows while one lives. Nested scopes act as one.
class TMainForm::BusyScope {
public:
    explicit BusyScope(TMainForm& form)
        : form_(form) {
        form_.BeginBusy();
    }
    ~BusyScope() { form_.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TMainForm& form_;
};

template <class F>
void TMainForm::Step(F&& f) {
    Guarded(*dialogs_, std::forward<F>(f));
}

}  // namespace pelorin
