// Folders and folder packets: creating a folder packet and folders in it, copying messages into
// folders (a message whose Message-ID the folder already holds is not copied again), the list
// of copy targets, the kept copies of posted and reserved messages, and child messages of note
// packets.
//
// A folder packet is a packet directory this program creates (PacketType 1); its folders are
// ordinary areas with encoding "uc" (rnews message file, index of layout c). A new folder has
// no files; they appear when the folder is first rewritten. A note packet (PacketType 2) takes
// messages the user writes as children of others.
//
// The windows (the folder selection dialog, the packet directory chooser) belong to the app;
// here are the models they show and the operations behind them.
#pragma once

#include "store/compose_settings.h"
#include "store/dialogs.h"
#include "store/editor.h"
#include "store/soup.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// ---- folder packets and folders ----

// Asks for the name of a new folder packet (input box "新規フォルダパケットの作成" /
// "パケット名を入力してください"). False when cancelled or left empty.
bool AskFolderPacketName(TDialogs& dialogs, std::string& name);

// Where a packet's replies and control files go, as the main window sets them on every packet it
// opens ([Files] Outbound, [Files] Control, [Display] SortType of the program settings).
struct PacketPlaces {
    std::string outboundDir;
    std::string controlDir;
    int defaultSortType = 1;
};

// A new, empty folder packet in `directory` named `name`. An AREAS file already there is not
// read; it is replaced when the first folder is added and the packet is closed.
std::unique_ptr<TSoup> CreateFolderPacket(std::string_view directory,
                                          std::string_view name,
                                          const PacketPlaces& places,
                                          TDialogs* dialogs);

// Asks for a folder name (input box "新規フォルダの作成" / "フォルダ名を入力してください") and
// adds the folder (encoding "uc") to a folder packet. Null when `packet` is no folder packet, the
// answer is cancelled or empty, or no prefix is left. A name holding a TAB or another control
// character, which would break the AREAS line, is refused with an error box.
TGrp* NewFolder(TSoup& packet, TDialogs& dialogs);

// ---- copying into folders ----

// One packet offered as a copy target, with its areas in area order.
struct CopyTarget {
    TSoup* packet = nullptr;
    std::vector<TGrp*> folders;
};

// Every packet of `packets` whose PacketType is not 0 (folder and note packets), in order.
std::vector<CopyTarget> CopyTargets(const std::vector<TSoup*>& packets);

// The content of the selection dialog of "フォルダにコピー".
struct FolderChoice {
    std::string caption;              // "フォルダへのコピー"
    std::string prompt;               // "コピー先を選択してください"
    std::string checkBoxText;         // "複数選択記事を対象にする"
    bool checkBoxChecked = false;     // more than one message is selected; changes nothing copied
    std::vector<CopyTarget> targets;  // shown as a tree, expanded
};
FolderChoice CopyToFolderChoice(const std::vector<TSoup*>& packets, size_t selectedCount);

// The messages a copy takes: the shown message when fewer than two are selected, else every
// selected message in list order. Empty when there is nothing to copy.
std::vector<TMsg*> MessagesToCopy(TMsg* shown, const std::vector<TMsg*>& selected);

// Appends a copy of `msg` to `folder` (loaded first when needed) unless it has a non-empty
// Message-ID the folder already holds. True when copied. The folder is written when it is
// unloaded.
bool CopyToFolder(TGrp& folder, TMsg* msg);
// CopyToFolder for each message in order; returns how many were copied.
int CopyToFolder(TGrp& folder, const std::vector<TMsg*>& msgs);

// What CopyToFolderAndWrite did.
struct FolderCopyResult {
    int copied = 0;                           // messages added (0 when the write failed)
    int skipped = 0;                          // messages the folder already held
    ReplaceResult write = ReplaceResult::Ok;  // the folder's rewrite; the folder's lastFailure
                                              // says more when it failed
};

// The copy of the copy commands (the window's and the companion's): CopyToFolder for each
// message in order, then the folder is rewritten at once, so that a full disk or a read-only
// packet is reported now rather than when the folder is unloaded. When the write fails the
// copies are taken out of the folder again: its messages, marks and files are as before.
FolderCopyResult CopyToFolderAndWrite(TGrp& folder, const std::vector<TMsg*>& msgs);

// ---- kept copies of composed messages ----

// The folder `folderName` of the first open packet whose PacketName is exactly `packetName`;
// null when that packet is missing or is no folder packet, or has no such folder.
TGrp* FindKeepFolder(const std::vector<TSoup*>& packets,
                     std::string_view packetName,
                     std::string_view folderName);

// Adds a message built from composed lines (TMsg::FromLines) to `folder` and rewrites the
// folder at once, so the copy is on disk before the compose file it came from is deleted.
ReplaceResult AddComposedCopy(TGrp& folder, const TSList& lines);

// ---- child messages (note packets) ----

// "dd mmm yyyy hh:mm:ss JST" in local time ("07 Dec 2026 17:16:27 JST"); where the local
// time is not nine hours ahead of UTC the zone is written as a numeric offset ("+0100")
// instead of "JST", so that the date stays true.
std::string ChildMessageDate(std::time_t now);

// The text a child message starts from: Newsgroups (the area's name), Subject, From and
// References (the shown message's Subject, From and Message-ID; the first two empty and no
// References without one), an empty Message-ID, "Followup-To: poster", Date, an empty line,
// another empty line and "-- ".
TSList ChildMessageText(std::string_view areaName, TMsg* shown, std::time_t now);

struct ChildMessageEnv {
    std::string programDir;  // ends with "/"; SBTMP.TXT is written there
    std::string editorCommand;
    TextCharset charset = TextCharset::Utf8;
    TEditor& editor;
    TDialogs& dialogs;
};

enum class ChildOutcome {
    Added,     // the message was added to the area
    Declined,  // the user answered Cancel to "メッセージを追加しますか？"
    Failed,    // SBTMP.TXT could not be written or read back (the user was told)
};

// Writes the child message text to SBTMP.TXT, runs the editor on it and waits, reads it back
// and hands it to `show` (the text view), asks "メッセージを追加しますか？" (OK/Cancel) and on OK
// adds the message to `area`, where threading places it under the shown message. SBTMP.TXT
// stays, so the text survives until the next child message.
ChildOutcome MakeChildMessage(const ChildMessageEnv& env,
                              TGrp& area,
                              TMsg* shown,
                              const std::function<void(const TSList&)>& show,
                              std::time_t now);

}  // namespace pelorin
