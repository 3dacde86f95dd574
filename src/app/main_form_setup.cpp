// 設定 (mnuSetUp): the settings dialog's whole cycle (setup_dialog.h, store/setup_settings.h).
//
// Opening: the window's bounds go to [Window] Top, Left, Width, Height, and the pane sizes to
// BWidth and BHeight (as closing the window writes them, so that the layout applied after OK
// keeps the dividers where they are); then the settings are read with the dialog's defaults
// (missing keys are written), the folders of the open folder packets, the bindings and the
// stored sub-command names fill the dialog.
//
// After OK everything is stored in one file write, then applied at once: the five fonts, the
// clickable colour, the background picture (an empty name removes it; a name whose file
// cannot be read leaves the picture as it is), the data directory and the layout
// (ApplyLayout). Values the file holds otherwise than typed (a line break became a blank) are
// shown in one message, and so is a settings file that could not be written. Key bindings
// apply at the next key, which reads [KeyBind] anew; the list template at the next area
// opened. ｷｬﾝｾﾙ stores nothing.
#include "coding/cp932.h"
#include "select/subcmd_defs.h"
#include "store/setup_settings.h"
#include "store/strutil.h"

#include "app/area_tree.h"
#include "app/default_settings.h"
#include "app/main_form.h"
#include "app/settings_names.h"
#include "app/setup_dialog.h"
#include "view/font_qt.h"
#include "view/sjis_qt.h"
#include "view/textview.h"

#include <QPixmap>

namespace pelorin {

namespace s = settings;

void TMainForm::SetUpClick() {
    if (Busy())
        return;
    {
        TIniF::Update batch(*ini_);
        ini_->WriteInteger(s::kWindow, s::kTop, y());
        ini_->WriteInteger(s::kWindow, s::kLeft, x());
        ini_->WriteInteger(s::kWindow, s::kWidth, width());
        ini_->WriteInteger(s::kWindow, s::kHeight, height());
        StorePaneSizes();
    }
    SetupDefaults defaults;
    defaults.programDir = ownDir_;
    defaults.editor = DefaultEditor();
    for (size_t i = 0; i < kFontSlots; ++i) defaults.fonts[i] = fonts_[i];
    const SetupSettings read = ReadSetupSettings(*ini_, defaults);

    std::vector<FolderItem> folders;
    for (int i = 0; i < tree_->PacketCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->PacketNode(i);
        const TSoup* packet = TAreaTree::PacketOf(packetNode);
        if (!packet || packet->packetType != 1)
            continue;
        for (int j = 0; j < packetNode->childCount(); ++j) {
            if (const TGrp* area = TAreaTree::AreaOf(packetNode->child(j)))
                folders.push_back({area->areaName, packet->packetName});
        }
    }
    TSList subCommands;
    Step([&] { subCommands = TSubCmdFile(ownDir_ + "SUBCMD.INI").Names(); });

    TSetUpDlg dialog(*dialogs_, this);
    dialog.Load(read, folders, *ini_, subCommands);
    if (TESTING_ONLY_setUpDialogShown)
        TESTING_ONLY_setUpDialogShown(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;

    const SetupSettings chosen = dialog.Settings();
    const std::vector<StoredValue> changed = StoreSetupSettings(*ini_, chosen, &dialog.Bindings());
    for (size_t i = 0; i < kFontSlots; ++i) {
        fonts_[i] = chosen.fonts[i];
        ApplyFont(static_cast<FontSlot>(i));
    }
    text_->SetClickableColor(ToQColor(chosen.clickableColor, palette()));
    if (chosen.backPicture.empty()) {
        text_->SetBackPicture(QPixmap());
    } else if (FileSize(chosen.backPicture) >= 0) {
        const QPixmap pixmap(ToQString(chosen.backPicture));
        if (!pixmap.isNull())
            text_->SetBackPicture(pixmap);
    }
    dataPath_ = chosen.dataPath;
    if (commands_->Checked("mnuShowImage") != chosen.showImage) {
        commands_->Check("mnuShowImage", chosen.showImage);
        if (message_ && mime_)
            DisplayPart();
    }
    ApplyLayout();

    if (!changed.empty()) {
        std::string text = Sjis("改行を含む値は、改行を空白に置き換えて保存しました。");
        for (const StoredValue& v : changed)
            text += "\n[" + v.section + "] " + v.key + "=" + v.value;
        (void)dialogs_->MessageBox(text, MsgIcon::Information, MsgButtons::Ok);
    }
    if (ini_->LastResult() != ReplaceResult::Ok) {
        (void)dialogs_->MessageBox(Sjis("設定を保存できませんでした。") + "\n" + ini_->FileName() +
                                       "\n" + to_string(ini_->LastResult()),
                                   MsgIcon::Error, MsgButtons::Ok);
    }
}

}  // namespace pelorin
