// The main window: its widgets, menus and commands (see main_form.h).
//
// Commands that exist so far and their names (menu item / toolbar button):
//   FileOpenItem / ftbOpen       パケットを開く(&O)...   FileOpen
//   mnuClose / ftbClose          パケットを閉じる(&C)    ClosePacket
//   FileExitItem / ftbQuit       終了(&Q)               closes the window (FormClose)
//   ftbToAreas, ftbToList        エリア一覧へ, 記事一覧へ  focus the tree / the list
//   N3, mnuTab, mnuFill          ステータスバー(&S), メッセージタブ(&B), 全面表示
//   mnuTBFile ... mnuTBSort      ツールバー(&T) > ファイル, コピー, 表示, メッセージ, 表示順
//   K2 ... K6                    フォント > エリア一覧..., 記事一覧..., 本文..., 引用..., 単一表示...
//   HelpContentsItem, HelpAboutItem  操作説明(&H) (F1), バージョン情報(&A)...
//   mnuSetUp                     設定 (ファイル menu; main_form_setup.cpp)
//   ftbPrev, ftbNext, ftbNextU   前, 次, 次の未読 (main_form_navigation.cpp)
//   ftbPrevHist, ftbNextHist     戻る, 進む
//   mnuDispThread ... / ftbDisp…  表示(&D) > 一覧の表示順, and the ToolbarSort radio group
//   K7, mnuMonoSpace, mnuRot13   ヘッダーの表示(&H), 単一フォント表示(&N), Rot13/47
//   mnuShowImage                 画像を表示(&I) ([Display] ShowImage)
//   mnuAllReaded                 全てを既読 (main_form_display.cpp)
//   FilePrintItem / ftbPrint     印刷(&P)..., FilePrintSetup ﾌﾟﾘﾝﾀの設定(&R)...
//   mnuFolderPkt, mnuNewFolder / ftbNewFolder  新規フォルダパケット, 新規フォルダ
//   pmnChgName ... pnmGrpDel     the area tree's pop-up menu (main_form_tree_menu.cpp)
//   EditCopyItem ... mnuDelQuit  編集(&E) and the message actions (main_form_actions.cpp)
//   mnuMarkDelete ... mnuMarkUnread, pmnCopyAll, pmnAddAddress, pmnFind  編集 > マーク and the
//                                pop-up menus of the list and the text (main_form_menus.cpp)
#include "app/main_form.h"

#include "coding/mime.h"

#include "app/area_tree.h"
#include "app/glyphs.h"
#include "app/picture_file.h"
#include "app/qt_dialogs.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/tall.h"
#include "view/textview.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QVBoxLayout>

namespace pelorin {
namespace {

// A pane: a frameless container of its widgets, which takes the focus for its first one.
QWidget* MakePane(const char* name, std::initializer_list<QWidget*> widgets) {
    auto* pane = new QWidget;
    pane->setObjectName(QString::fromLatin1(name));
    auto* box = new QVBoxLayout(pane);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (QWidget* w : widgets) box->addWidget(w);
    return pane;
}

}  // namespace

TMainForm::TMainForm(const QStringList& arguments, TDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent)
    , dialogs_(dialogs) {
    if (!dialogs_) {
        ownDialogs_ = std::make_unique<TQtDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(ProgramIcon());
    BuildWidgets();
    BuildCommands();
    toolbars_ = std::make_unique<TToolbars>(*this, *commands_);
    BuildMenus();
    DefineBindings();
    InstallKeyHandling();
    FormCreate(arguments);
}

TMainForm::~TMainForm() {
    FormClose();
}

void TMainForm::BuildWidgets() {
    tree_ = new TAreaTree;
    list_ = new TMsgListBox;
    list_->setObjectName(QStringLiteral("ListBox2"));
    tabs_ = new QTabBar;
    tabs_->setObjectName(QStringLiteral("MIMETab"));
    tabs_->setDrawBase(false);
    text_ = new TTextView;
    text_->setObjectName(QStringLiteral("TextView"));
    panelAreas_ = MakePane("PanelAreas", {tree_});
    panelAreas_->setFocusProxy(tree_);
    panelList_ = MakePane("PanelList", {list_});
    panelList_->setFocusProxy(list_);
    panelText_ = MakePane("PanelText", {tabs_, text_});
    panelText_->setFocusProxy(text_);
    // The picture control lies over the text view, placed by hand (PlacePicture), hidden
    // until a picture is shown.
    image_ = new TAll(panelText_);
    image_->setObjectName(QStringLiteral("Image1"));
    image_->SetStretch(true);
    image_->hide();
    panes_ = new TPaneLayout(panelAreas_, panelList_, panelText_);

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("ProgressBar"));
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(progress_->sizeHint().height() * 2 / 3);
    progress_->hide();

    auto* client = new QWidget;
    auto* box = new QVBoxLayout(client);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(panes_, 1);
    box->addWidget(progress_);
    setCentralWidget(client);
    status_ = new TStatusLine;
    setStatusBar(status_);

    connect(tree_, &TAreaTree::OnMouseDown, this, [this] { mouseFlag_ = true; });
    connect(list_, &TMsgListBox::OnMouseDown, this, [this] { mouseFlag_ = true; });
    connect(tree_, &QTreeWidget::itemClicked, this, [this] { Step([this] { TvAreasClick(); }); });
    connect(tree_, &TAreaTree::OnKeyUp, this,
            [this](QKeyEvent* event) { Step([&] { TvAreasKeyUp(event); }); });
    connect(list_, &TMsgListBox::OnKeyUp, this, [this] { mouseFlag_ = false; });
}

void TMainForm::BuildCommands() {
    commands_ = new TCommandSet(*dialogs_, this);
    TCommandSet& c = *commands_;
    c.Alias("ftbOpen", c.Add("FileOpenItem", QStringLiteral("パケットを開く(&O)..."),
                             QStringLiteral("パケットを開く"), [this] { FileOpen(); }));
    c.Alias("ftbClose", c.Add("mnuClose", QStringLiteral("パケットを閉じる(&C)"),
                              QStringLiteral("パケットを閉じる"), [this] { ClosePacket(); }));
    c.Alias("ftbQuit", c.Add("FileExitItem", QStringLiteral("終了(&Q)"), QStringLiteral("終了"),
                             [this] { close(); }));
    c.Add("ftbToAreas", QStringLiteral("エリア一覧へ"), QStringLiteral("エリア一覧へ"),
          [this] { FocusAreas(); });
    c.Add("ftbToList", QStringLiteral("記事一覧へ"), QStringLiteral("記事一覧へ"),
          [this] { FocusList(); });

    c.AddSwitch("N3", QStringLiteral("ステータスバー(&S)"), QString(),
                [this](bool on) { ToggleStatusBar(on); });
    c.AddSwitch("mnuTab", QStringLiteral("メッセージタブ(&B)"), QString(),
                [this](bool on) { ToggleMessageTab(on); });
    c.AddSwitch("mnuFill", QStringLiteral("全面表示"), QString(),
                [this](bool on) { ToggleDispMode(on); });
    for (int i = 0; i < TToolbars::kCount; ++i) {
        c.AddSwitch(TToolbars::SwitchName(i), TToolbars::Caption(i), QString(),
                    [this, i](bool on) { ToggleToolbar(i, on); });
    }

    static const char* const kFontItems[kFontSlots][2] = {
        {"K2", "エリア一覧..."}, {"K3", "記事一覧..."}, {"K4", "本文..."},
        {"K5", "引用..."},       {"K6", "単一表示..."},
    };
    for (int i = 0; i < kFontSlots; ++i) {
        c.Add(kFontItems[i][0], QString::fromUtf8(kFontItems[i][1]), QString(),
              [this, i] { ChooseFont(static_cast<FontSlot>(i)); });
    }
    c.Add("HelpAboutItem", QStringLiteral("バージョン情報(&A)..."), QString(),
          [this] { HelpAbout(); });
    c.Add("HelpContentsItem", QStringLiteral("操作説明(&H)"), QString(), [this] {
         HelpContents();
     })->setShortcut(QKeySequence::HelpContents);
    c.Add("mnuSetUp", QStringLiteral("設定"), QString(), [this] { SetUpClick(); });
    BuildNavigationCommands();
    BuildDisplayCommands();
    BuildPrintCommands();
    BuildTreeMenu();
    BuildMessageCommands();
    BuildActionCommands();
    BuildSubCommandCommands();
    BuildMarkCommands();
}

void TMainForm::BuildMenus() {
    const TCommandSet& c = *commands_;
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("FileMenu"));
    file->addAction(c.Find("FileOpenItem"));
    file->addAction(c.Find("mnuClose"));
    file->addSeparator();
    file->addAction(c.Find("mnuFolderPkt"));
    file->addAction(c.Find("mnuNewFolder"));
    file->addSeparator();
    file->addAction(c.Find("FilePrintItem"));
    file->addAction(c.Find("FilePrintSetup"));
    file->addSeparator();
    file->addAction(c.Find("mnuSetUp"));
    file->addSeparator();
    file->addAction(c.Find("FileExitItem"));
    BuildEditMenu();
    BuildSubCommandMenu();

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&D)"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    QMenu* bars = view->addMenu(QStringLiteral("ツールバー(&T)"));
    bars->setObjectName(QStringLiteral("ToolbarMenu"));
    for (int i = 0; i < TToolbars::kCount; ++i) bars->addAction(c.Find(TToolbars::SwitchName(i)));
    view->addAction(c.Find("N3"));
    view->addAction(c.Find("mnuTab"));
    view->addAction(c.Find("mnuFill"));
    view->addSeparator();
    QMenu* order = view->addMenu(QStringLiteral("一覧の表示順"));
    order->setObjectName(QStringLiteral("mnuDispOrder"));
    for (const char* name :
         {"mnuDispThread", "mnuDispSubj", "mnuDispAuth", "mnuDispDate", "mnuDispNoSort"})
        order->addAction(c.Find(name));
    view->addAction(c.Find("K7"));
    view->addAction(c.Find("mnuMonoSpace"));
    view->addAction(c.Find("mnuShowImage"));
    view->addAction(c.Find("mnuRot13"));
    view->addAction(c.Find("mnuAllReaded"));
    view->addSeparator();
    QMenu* fonts = view->addMenu(QStringLiteral("フォント"));
    fonts->setObjectName(QStringLiteral("K1"));
    for (const char* name : {"K2", "K3", "K4", "K5", "K6"}) fonts->addAction(c.Find(name));

    BuildMessageMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addAction(c.Find("HelpContentsItem"));
    help->addSeparator();
    help->addAction(c.Find("HelpAboutItem"));
    BuildContextMenus();
}

QMenu* TMainForm::createPopupMenu() {
    auto* menu = new QMenu(this);
    for (int i = 0; i < TToolbars::kCount; ++i)
        menu->addAction(commands_->Find(TToolbars::SwitchName(i)));
    return menu;
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        status_->SetPanel(1, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!MayCloseWhileEditing()) {
        event->ignore();
        return;
    }
    if (!ConfirmExitPurge()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TMainForm::Repaint() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainForm::BeginBusy() {
    if (busyDepth_++ > 0)
        return;
    tree_->setEnabled(false);
    list_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Repaint();
}

void TMainForm::EndBusy() {
    if (--busyDepth_ > 0)
        return;
    tree_->setEnabled(true);
    list_->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

}  // namespace pelorin
