// TSoup: one open packet directory. It reads AREAS, creates one area (TGrp) per line in the
// order the packet's state file GRPSTAT.PBS keeps, holds the per-packet and per-area settings
// in that file, and writes everything back when it is closed.
//
// AREAS lines carry up to four TAB-separated fields: prefix (base name of the area's files),
// area name, encoding letters (format, index, kind), description. GRPSTAT.PBS has a section
// "General" (PacketName, PacketType, Outbound, Expanded), a section "Groups" whose key order
// is the area order, and one section per area name (ThreadRange, SortType, UnreadMsgs,
// ExpireDays, MSGCount, MSGSize, SaveTo).
//
// Packet types: 0 a SOUP packet as received, 1 a folder packet, 2 a note packet.
//
// Paths use "/" as separator; Directory always ends with exactly one.
#pragma once

#include "store/dialogs.h"
#include "store/grp.h"
#include "store/inifile.h"

#include <memory>
#include <string>
#include <vector>

namespace pelorin {

class TSoup {
public:
    // Opens the packet in `directory` (Shift_JIS text): GRPSTAT.PBS is opened (and created on
    // the first write); PacketName and PacketType are read. No areas yet: see LoadAreas.
    explicit TSoup(std::string_view directory, TDialogs* dialogs = nullptr);
    // Closes the packet (Destroy) if it was not closed yet.
    ~TSoup();
    TSoup(const TSoup&) = delete;
    TSoup& operator=(const TSoup&) = delete;

    // ---- fields, in record order ----
    std::string packetName;   // caption of the packet's tree node
    std::string directory;    // the packet directory, ending with "/"
    std::string outboundDir;  // where replies are collected, ending with "/"
    std::string controlDir;   // recorded from the settings, ending with "/"
    // When set, replies and body requests go here, before [General] Outbound and outboundDir;
    // it is never stored in the packet (the companion's --outbound).
    std::string outboundOverride;
    int packetType = 0;                        // 0 SOUP packet, 1 folder packet, 2 note packet
    bool areasChanged = false;                 // an area was added: AREAS is rewritten on closing
    bool cannotSave = false;                   // its user was told that its files cannot be written
    int defaultSortType = 0;                   // sort type of areas without a SortType key
    std::vector<std::unique_ptr<TGrp>> areas;  // owned, in display order

    TIniF& State() { return *state_; }

    void SetOutboundDir(std::string_view path);
    void SetControlDir(std::string_view path);

    // Builds the area list: the areas named in [Groups] first, in that order, then the other
    // AREAS lines in file order. Then, under the packet's lock, finishes or undoes the area
    // rewrites a crash cut short and removes the program's own temporary files left behind
    // (names of its pattern only, at least a minute old). Returns the number of areas.
    int LoadAreas();
    // Whether files can be written in the packet directory (a probe file is created, written
    // and removed). When not, `why` (may be null) says where and why.
    bool Writable(WriteFailure* why = nullptr) const;
    TGrp* AreaAt(int index) const;
    // The last area whose name is exactly `name`; null when none.
    TGrp* FindArea(std::string_view name) const;
    // A new, empty area with the first free 8-digit prefix (one no area uses and no file in the
    // directory carries). Null when no prefix is left.
    TGrp* AddArea(std::string_view name, std::string_view encoding);
    void SaveAreaOrder(const TSList& names);
    // Posts a composed file to the outbound reply packet (outbound.h, which defines the
    // result): kind 1 is mail, any other value news. Nothing happens without the file.
    [[nodiscard]] struct OutboundResult PostFile(std::string_view composeFile, int kind);
    ReplaceResult WriteAreas();

    // Closes the packet: AREAS when areas were added, then every area from the last to the
    // first (purge, rewrite, marks, its settings), then [General]. Returns the first failure;
    // `failedArea` and `failedCaption` name the area whose files could not be written (both
    // empty when AREAS failed) and `failure` says which file and why. Later calls do nothing.
    ReplaceResult Destroy();
    std::string failedArea;
    std::string failedCaption;
    WriteFailure failure;

private:
    void CleanUp();
    TGrp* CreateArea(std::string_view line);
    TGrp* MakeArea(std::string name, std::string prefix, std::string encoding, std::string desc);

    TDialogs* dialogs_;
    std::unique_ptr<TIniF> state_;
    bool destroyed_ = false;
};

// A directory path with exactly one trailing "/".
std::string WithTrailingSlash(std::string_view path);

}  // namespace pelorin
