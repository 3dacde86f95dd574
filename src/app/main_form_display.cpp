// Showing a message: DisplayMessage, DisplayPart, the message-shown state, the display
// switches (headers, single font, Rot13/47), moving between parts, HScroll, the marks of the
// reading commands and the clicks on the text.
//
// DisplayMessage (the focus row of the list; nothing without one):
//   busy; the message becomes current; an unread one is marked read (its row repaints) and its
//   cross-posted copies are marked read in the received packets (display_pipeline.h);
//   message-shown state; the area node shows the new unread count; the message is decoded
//   ([Display] DecodeAsHeader N); one tab per part with the captions of display_pipeline.h
//   from [Display] MessageTabString ("%s"), headers shown or not; DisplayPart; PushHistory;
//   the text view takes the focus. A shown picture goes first, and the text and quote fonts
//   are read again from [Fonts], so that an edited settings file applies to the next message.
// DisplayPart: with headers off and [Display] ShowImage Y, a base64 image part is decoded
//   from the message into the program's own temporary file (picture_file.h; never a file of
//   the data folder) and shown as a picture; a part whose format neither its subtype nor its
//   name tells says "イメージファイルの形式が\n不明なので表示できません\n" + its name;
//   otherwise the part as text: its text decoded, [Display] FixedPich sets the single-font
//   mode, the header block when shown (decoded, display_pipeline.h), an empty line, the body,
//   from line 0.
// Pictures: the picture control (view/tall.h) lies over the text view, fitted into the text
//   pane keeping its shape (display_pipeline.h) and again whenever the pane changes size; its
//   plug-ins come from the program's folder, the installed library folder, then
//   $PELORIN_HOME/plugins (plugin_dirs.h). A picture that does not load says the control's
//   message (a cut-off one "データが壊れている"), then "この形式の画像は表示できません", and shows as text.
// 画像を表示 (mnuShowImage) switches [Display] ShowImage and shows the current part again.
// Message-shown state: メッセージの修正 for note packets or the [Message] ReserveFolder area;
//   status panel 0 unread/total, panel 1 [Display] StatesBarString1 expanded (not written when
//   missing); the selection state; 次の未読, 次, 前, 印刷, リプライ on; フォローアップ for news
//   areas of received packets; 本文取得 for 'c' indexes of received packets.
// Text clicks: an "http://" or "https://" item opens in the desktop's browser; "<...@...>"
//   shows that message of the open area or says "このエリアには\n<id>\nは存在しません。";
//   elsewhere the mouse binding (modifiers + "_<LBUTTON>" ...) runs, unless busy; the right
//   button without a binding opens the text's pop-up menu.
#include "coding/cp932.h"
#include "coding/mime.h"
#include "coding/safe_file.h"
#include "store/disk_path.h"
#include "store/settings.h"

#include "app/area_tree.h"
#include "app/command_states.h"
#include "app/display_pipeline.h"
#include "app/main_form.h"
#include "app/own_dir.h"
#include "app/picture_file.h"
#include "app/plugin_dirs.h"
#include "app/settings_names.h"
#include "app/status_line.h"
#include "view/msglistbox.h"
#include "view/sjis_qt.h"
#include "view/tall.h"
#include "view/textview.h"

#include <QCursor>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QTabBar>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace pelorin {

namespace s = settings;

namespace {

// Calls `onResize` whenever the watched widget changes size.
class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent)
        , onResize_(std::move(onResize)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            onResize_();
        return false;
    }

private:
    std::function<void()> onResize_;
};

}  // namespace

void TMainForm::BuildDisplayCommands() {
    TCommandSet& c = *commands_;
    c.AddSwitch("K7", QStringLiteral("ヘッダーの表示(&H)"), QString(),
                [this](bool) { ToggleShowHeaders(); });
    c.AddSwitch("mnuMonoSpace", QStringLiteral("単一フォント表示(&N)"), QString(),
                [this](bool) { ToggleMonoSpace(); });
    c.Add("mnuRot13", QStringLiteral("Rot13/47"), QString(), [this] { Rot13Part(); });
    c.AddSwitch("mnuShowImage", QStringLiteral("画像を表示(&I)"), QString(),
                [this](bool on) { ToggleShowImage(on); });
    c.Add("mnuAllReaded", QStringLiteral("全てを既読"), QString(), [this] { MarkAllAs(' ', '*'); });
    connect(tabs_, &QTabBar::currentChanged, this, [this](int) {
        if (message_ && !Busy())
            Step([this] { DisplayPart(); });
    });
    connect(list_, &TMsgListBox::clicked, this, [this] {
        if (!mouseFlag_)
            return;
        if (list_->Count() > 0)
            Step([this] { DisplayMessage(); });
        mouseFlag_ = false;
        ListBox2MouseUp();
    });
    connect(list_, &TMsgListBox::OnKeyUp, this, [this](QKeyEvent* event) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            Step([this] { DisplayMessage(); });
    });
    auto click = [this](MouseButton button, Qt::KeyboardModifiers modifiers) {
        Step([&] { TextClick(button, modifiers); });
    };
    connect(text_, &TTextView::OnLeftClick, this,
            [click](Qt::MouseButton, Qt::KeyboardModifiers m, int, int) {
                click(MouseButton::Left, m);
            });
    connect(text_, &TTextView::OnRightClick, this,
            [click](Qt::MouseButton, Qt::KeyboardModifiers m, int, int) {
                click(MouseButton::Right, m);
            });
    connect(text_, &TTextView::OnMouseDown, this,
            [click](Qt::MouseButton b, Qt::KeyboardModifiers m, int, int) {
                if (b == Qt::MiddleButton)
                    click(MouseButton::Middle, m);
            });
    image_->SetPluginDirs(PluginDirs());
    image_->OnMessage = [this](const QString& text) {
        dialogs_->MessageBox(FromQString(text), MsgIcon::Information, MsgButtons::Ok);
    };
    panelText_->installEventFilter(new ResizeWatcher(this, [this] { PlacePicture(); }));
    urlOpener_ = [](const std::string& url) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(url.c_str())));
    };
}

void TMainForm::DisplayMessage() {
    // 1.
    const int row = list_->ItemIndex();
    if (row < 0 || !area_)
        return;
    {
        // 2.
        BusyScope busy(*this);
        // 3.
        QTreeWidgetItem* node = nullptr;
        for (int i = 0; i < tree_->PacketCount() && !node; ++i) {
            QTreeWidgetItem* packet = tree_->PacketNode(i);
            for (int j = 0; j < packet->childCount(); ++j) {
                if (TAreaTree::AreaOf(packet->child(j)) == area_)
                    node = packet->child(j);
            }
        }
        // 4.
        if (text_->isHidden())
            HidePicture();
        // 5.
        for (const FontSlot slot : {TextFont, QuoteFont}) {
            ReadFont(*ini_, s::kFonts, FontPrefix(slot), fonts_[slot]);
            ApplyFont(slot);
        }
        // 6.
        message_ = list_->MsgAt(row);
        // 7.
        if (message_->mark == '*') {
            message_->mark = ' ';
            area_->marksChanged = true;
            list_->SetSelected(row, true);
            list_->SetItemIndex(row);
            list_->InvalidateRow(row);
            const std::string newsgroups = message_->Header("Newsgroups");
            if (newsgroups.find(',') != std::string::npos)
                MarkCrossPostsRead(TreePackets(), newsgroups, message_->messageId);
        }
        // 8.
        EnterMessageShownState();
        // 9.
        if (node)
            UpdateAreaNodeText(node);
        // 10. The record's Message-ID comes from the header when the index had none.
        if (message_->messageId.empty())
            message_->messageId = message_->Header("Message-ID");
        // 11.
        if (!mime_)
            mime_ = std::make_unique<TMIMEc>();
        mime_->Root.ParseBody = true;  // with headers too: the body reads as without them
        mime_->Root.DecodeAsHeader = ReadFlag(*ini_, s::kDisplay, s::kDecodeAsHeader, false);
        message_->LoadLines();
        mime_->Parse(message_->lines);
        if (!message_->msgFile.empty())
            message_->lines.clear();  // read again when needed
        parts_ = DisplayParts(mime_->Root);
        // 12.
        const std::string tabText = message_->Expand(
            ReadText(*ini_, s::kDisplay, s::kMessageTabString, s::kDefaultMessageTabString));
        const QSignalBlocker quiet(tabs_);
        while (tabs_->count() > 0) tabs_->removeTab(0);
        // "&" in a subject is a character, not the mark of a keyboard shortcut.
        for (const std::string& caption : TabCaptions(tabText, parts_))
            tabs_->addTab(ToQString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
        tabs_->setCurrentIndex(0);
        // 13.
        DisplayPart();
    }
    // 14.
    PushHistory();
    // 15.
    text_->setFocus();
}

void TMainForm::DisplayPart() {
    BusyScope busy(*this);
    const int index = tabs_->currentIndex();
    if (!mime_ || index < 0 || index >= static_cast<int>(parts_.size()))
        return;
    TMIMEPart& part = *parts_[static_cast<size_t>(index)];
    if (!image_->isHidden())
        HidePicture();
    if (!commands_->Checked("K7") && part.ContentType == "image" &&
        ReadFlag(*ini_, s::kDisplay, s::kShowImage, false) && ShowImagePart(part))
        return;
    part.DecodeText();
    commands_->Check("mnuMonoSpace", ReadFlag(*ini_, s::kDisplay, s::kFixedPich, false));
    ShowPartLines(true);
}

bool TMainForm::ShowImagePart(TMIMEPart& part) {
    if (part.Encoding != "base64")
        return false;
    const std::string extension = PictureExtension(part.SubType, part.FileName);
    if (extension.empty()) {
        const std::string name = part.FileName.empty()
                                     ? "(" + part.ContentType + "/" + part.SubType + ")"
                                     : part.FileName;
        dialogs_->MessageBox(
            FromQString(QStringLiteral("イメージファイルの形式が\n不明なので表示できません\n")) +
                name,
            MsgIcon::Information, MsgButtons::Ok);
        return false;
    }
    if (!pictureFile_)
        pictureFile_ = std::make_unique<TPictureFile>();
    const QString path =
        pictureFile_->Write(part.DecodedBase64(), QString::fromLatin1(extension.c_str()));
    if (path.isEmpty()) {
        dialogs_->MessageBox(
            FromQString(QStringLiteral("画像を表示するための一時ファイルを書けません")),
            MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    if (ShowPictureFile(path))
        return true;
    pictureFile_->Clear();
    return false;
}

bool TMainForm::ShowPictureFile(const QString& path) {
    if (!ReadFlag(*ini_, s::kDisplay, s::kShowImage, false))
        return false;
    image_->SetPictureName(path);
    if (image_->Picture().isNull()) {
        image_->SetPictureName(QString());
        image_->hide();
        dialogs_->MessageBox(FromQString(QStringLiteral("この形式の画像は表示できません")),
                             MsgIcon::Information, MsgButtons::Ok);
        return false;
    }
    // The hidden text view keeps its room in the pane, so the tab bar stays at the top above
    // the picture instead of moving to the middle of the emptied pane.
    QSizePolicy policy = text_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    text_->setSizePolicy(policy);
    text_->hide();
    image_->show();
    image_->raise();
    PlacePicture();
    return true;
}

void TMainForm::HidePicture() {
    image_->SetPictureName(QString());
    if (pictureFile_)
        pictureFile_->Clear();
    image_->hide();
    text_->show();
}

void TMainForm::PlacePicture() {
    if (image_->isHidden() || image_->Picture().isNull())
        return;
    const int tabHeight = tabs_->isVisible() ? tabs_->height() : 0;
    const PictureBox box = FitPicture(panelText_->width(), panelText_->height(), tabHeight,
                                      image_->Picture().width(), image_->Picture().height());
    image_->setGeometry(box.left, box.top, box.width, box.height);
}

void TMainForm::ShowPartLines(bool focus) {
    const int index = tabs_->currentIndex();
    if (!mime_ || index < 0 || index >= static_cast<int>(parts_.size()))
        return;
    text_->show();
    text_->SetSimpleFont(commands_->Checked("mnuMonoSpace"));
    PartText part = PartTextFor(commands_->Checked("K7"), mime_->Root.Header,
                                *parts_[static_cast<size_t>(index)]);
    text_->SetLineCoding(part.utf8 ? textview::LineCoding::Utf8 : textview::LineCoding::ShiftJis);
    text_->SetLines(std::move(part.lines));
    text_->SetTopLine(0);
    if (focus && text_->isVisible())
        text_->setFocus();
}

void TMainForm::EnterMessageShownState() {
    TCommandSet& c = *commands_;
    const int packetType = packet_ ? packet_->packetType : 0;
    const std::string reserve = ReadText(*ini_, s::kMessage, s::kReserveFolder, "");
    // Only kept messages are edited again: a received area that shares the reserve folder's
    // name is no place to delete a message from.
    c.Enable("mnuModMsg", packetType == 2 || (packetType == 1 && area_ && !reserve.empty() &&
                                              area_->areaName == reserve));
    if (area_) {
        status_->SetPanel(
            0, QStringLiteral("%1/%2").arg(area_->CountMarked('*')).arg(area_->CountMarked(0)));
    }
    const std::string statusText = ini_->KeyExists(s::kDisplay, s::kStatesBarString1)
                                       ? ini_->ReadString(s::kDisplay, s::kStatesBarString1, "")
                                       : std::string();
    status_->SetPanelSjis(1, message_ ? message_->Expand(statusText) : std::string());
    EnterSelectionState();
    const char format = area_ ? area_->Letter(0) : ' ';
    const char index = area_ ? area_->Letter(1) : ' ';
    c.Enable(
        {"ftbNextU", "ftbNext", "ftbPrev", "ftbPrint", "FilePrintItem", "ftbReply", "mnuReplyMail"},
        true);
    c.Enable({"ftbFollow", "mnuFollowNews"}, packetType == 0 && (format == 'u' || format == 'B'));
    c.Enable({"ftbSendMe", "mnuSendMe"}, packetType == 0 && index == 'c');
}

void TMainForm::EnterSelectionState() {
    if (list_->SelCount() == 0)
        return;
    TCommandSet& c = *commands_;
    c.Enable({"ftbFolderCopy", "ftbCopy", "ftbSave", "ftbDecode", "EditCopyItem", "mnuCopyToFolder",
              "FileSaveAsItem", "mnuChkCls", "mnuDecode"},
             true);
    const bool sendMe = packet_ && packet_->packetType == 0 && area_ && area_->Letter(1) == 'c';
    c.Enable({"ftbSendMe", "mnuSendMe"}, sendMe);
}

void TMainForm::ListBox2MouseUp() {
    const int row = list_->ItemIndex();
    if (list_->Count() > 0 && row >= 0 && list_->IsSelected(row))
        EnterSelectionState();
    else if (list_->Count() > 0 && message_)
        return;
    else
        EnterNoMessageState();
}

void TMainForm::ToggleShowHeaders() {
    // The action has already inverted its check mark.
    WriteFlag(*ini_, s::kDisplay, s::kShowHeaders, commands_->Checked("K7"));
    DisplayMessage();
}

void TMainForm::ToggleShowImage(bool on) {
    WriteFlag(*ini_, s::kDisplay, s::kShowImage, on);
    // The shown part again, as a picture or as text.
    if (message_ && mime_ && !Busy())
        DisplayPart();
}

void TMainForm::ToggleMonoSpace() {
    WriteFlag(*ini_, s::kDisplay, s::kFixedPich, commands_->Checked("mnuMonoSpace"));
}

void TMainForm::Rot13Part() {
    const int index = tabs_->currentIndex();
    if (tabs_->count() == 0 || !mime_ || index < 0 || index >= static_cast<int>(parts_.size()))
        return;
    TMIMEPart* part = parts_[static_cast<size_t>(index)];
    part->DecodeText();
    part->RotBody();
    ShowPartLines(true);
}

void TMainForm::PrevPart() {
    if (!message_)
        return;
    const int index = tabs_->currentIndex();
    if (index > 0) {
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentIndex(index - 1);
    }
    DisplayPart();
}

void TMainForm::NextPart() {
    if (!message_)
        return;
    const int index = tabs_->currentIndex();
    if (index < tabs_->count() - 1) {
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentIndex(index + 1);
    }
    DisplayPart();
}

void TMainForm::HScroll(int n) {
    text_->SetHorzOffset(text_->HorzOffset() + n);
}

void TMainForm::TextClick(MouseButton button, Qt::KeyboardModifiers modifiers) {
    const std::string item = text_->ClickText();
    if (!text_->Lines().empty() && !item.empty()) {
        if (item.rfind("http://", 0) == 0 || item.rfind("https://", 0) == 0) {
            if (urlOpener_)
                urlOpener_(item);
            return;
        }
        if (item.size() > 2 && item.front() == '<' && item.back() == '>' &&
            item.find('@', 1) != std::string::npos) {
            const int row = area_ ? area_->FindMessage(item) : -1;
            if (row < 0 || row >= list_->Count()) {
                (void)dialogs_->MessageBox(
                    Sjis("このエリアには") + "\n" + item + "\n" + Sjis("は存在しません。"),
                    MsgIcon::Information, MsgButtons::Ok);
                return;
            }
            const int c = list_->ItemIndex();
            if (c >= 0)
                list_->SetSelected(c, false);
            list_->SetSelected(row, true);
            list_->SetItemIndex(row);
            DisplayMessage();
            return;
        }
    }
    if (Busy())
        return;
    const std::string name =
        MouseKeyName(button, modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier,
                     modifiers & Qt::ShiftModifier);
    const std::string value = StoredBinding(*ini_, name);
    if (!value.empty())
        bindings_.ExecuteBinding(value);
    else if (button == MouseButton::Right)
        PopupTextMenu(QCursor::pos());  // main_form_menus.cpp
}

void TMainForm::MarkAllAs(char to, char from) {
    QTreeWidgetItem* node = tree_->currentItem();
    TGrp* area = TAreaTree::AreaOf(node);
    if (!area)
        return;
    area->CountMarked(0);  // loads the area when it is not loaded
    area->ReplaceMarks(to, from);
    if (area == area_)
        SelectArea('A');
    UpdateAreaNodeText(node);
}

void TMainForm::MarkCurrentAs(char mark) {
    const int row = list_->ItemIndex();
    if (row < 0 || !area_)
        return;
    list_->MsgAt(row)->mark = mark;
    area_->marksChanged = true;
    list_->InvalidateRow(row);
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packet = tree_->PacketNode(i);
        for (int j = 0; j < packet->childCount(); ++j) {
            if (TAreaTree::AreaOf(packet->child(j)) == area_)
                UpdateAreaNodeText(packet->child(j));
        }
    }
}

}  // namespace pelorin
