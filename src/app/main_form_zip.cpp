// OpenZipPacket: a SOUP packet that came as a zip file. The user chooses the folder to unpack
// it into (a new folder, or a packet folder to add its messages to); the transfer companion's
// importer unpacks it there - merging areas, appending after the messages a packet holds, and
// never writing outside the folder - and the packet opens.
//
// A packet that is open in this window is not unpacked into: the window holds its areas in
// memory and would write them back without the new messages. The user is told to close it
// first. Members the importer skipped (names with folders, links, areas of other formats) are
// listed after the packet opens; a zip that cannot be read is named with the reason.
#include "transfer/config.h"
#include "transfer/errors.h"
#include "transfer/zip_packet.h"

#include "coding/cp932.h"
#include "store/packet_files.h"
#include "store/soup.h"

#include "app/main_form.h"
#include "app/settings_names.h"
#include "view/sjis_qt.h"

#include <QFileDialog>

namespace pelorin {

void TMainForm::OpenZipPacket(const std::string& zipPath) {
    std::string folder;
    if (chooseUnpackFolder) {
        folder = chooseUnpackFolder(zipPath);
    } else {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("パケットを展開するフォルダ"), ToQString(DirPart(zipPath)));
        folder = chosen.isEmpty() ? std::string() : FromQString(chosen);
    }
    if (folder.empty())
        return;
    const std::string areas = WithTrailingSlash(folder) + "AREAS";
    if (IsPacketOpen(areas)) {
        (void)dialogs_->MessageBox(
            folder + "\n" + Sjis("のパケットは開いています。閉じてから展開してください。"),
            MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    transfer::ImportResult result;
    try {
        result = transfer::ImportZip(cp932::ToUtf8(zipPath), cp932::ToUtf8(folder),
                                     transfer::ReadImportLimits(transfer::DefaultConfigPath()));
    } catch (const transfer::TransferError& e) {
        (void)dialogs_->MessageBox(
            Sjis("パケットを展開できません。") + "\n" + cp932::FromUtf8(e.what()), MsgIcon::Error,
            MsgButtons::Ok);
        return;
    }
    if (OpenPacket(areas))
        ini_->WriteString(settings::kFiles, settings::kLastSoupPacket, areas);
    if (!result.warnings.empty()) {
        std::string text = Sjis("展開しなかったもの:");
        for (const std::string& w : result.warnings) text += "\n" + cp932::FromUtf8(w);
        (void)dialogs_->MessageBox(text, MsgIcon::Warning, MsgButtons::Ok);
    }
}

}  // namespace pelorin
