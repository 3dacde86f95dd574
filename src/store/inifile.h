// TIniF: the program's INI files (the settings file, each packet's GRPSTAT.PBS, SUBCMD.INI).
//
// Format: "[Section]" lines open sections, "Key=Value" lines hold values; everything is
// Shift_JIS bytes. Section and key names are matched without regard to ASCII case and keep the
// spelling they were first written with; the order of sections and keys is the file's order,
// and new keys go after the last key of their section, new sections at the end.
//
// Reading is lenient: a missing file is an empty one; a UTF-8 byte-order mark at the start is
// skipped; lines may end in CR LF, LF or CR; blanks and TABs around section and key names are
// ignored; the value is everything after the first "=", kept exactly (so a value may begin or
// end with blanks). Blank lines, comments (";" first), lines without "=", key lines before the
// first section and repeated keys (only the first counts) are kept in the file as they stand
// but hold no value. A section that appears twice is read as one.
//
// Writing: every change reaches the file at once, by replacing the whole file through a
// temporary file and a rename (replace_file.h), so a crash leaves either the old or the new
// file. Lines the program did not change are written back byte for byte (a byte-order mark
// too). Line ends are CR LF.
// Names and values cannot break the line structure: CR LF, CR and LF in a section name, key or
// value are each replaced by one blank before anything is stored. A key that could not be read
// back as the same key (empty, beginning with "[" or ";", or holding "=") is refused. Writing a
// value a key already holds changes nothing and does not touch the file. A series of writes can
// be gathered into one file write with BeginUpdate / EndUpdate (or an Update object).
//
// The object keeps the file's content in memory and compares the file's identity (device,
// inode, size, modification time) before every call; when another writer (a second TIniF on
// the same file, the user's editor) has replaced it, the file is read again first, so two
// objects on one file never undo each other's writes. A file that exists but cannot be read is
// never overwritten: writes fail until it can be read.
#pragma once

#include "store/replace_file.h"
#include "store/strutil.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pelorin {

class TIniF {
public:
    // `path` is Shift_JIS text (see DiskPath). Nothing is read until the first call.
    explicit TIniF(std::string path);
    TIniF(const TIniF&) = delete;
    TIniF& operator=(const TIniF&) = delete;
    ~TIniF();

    const std::string& FileName() const { return path_; }

    // The value of a key, or `def` when the section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def);
    // The value read as a decimal integer (blanks around it allowed), or `def` when the key is
    // missing or holds no 32-bit decimal number.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def);
    bool KeyExists(std::string_view section, std::string_view key);
    bool SectionExists(std::string_view section);
    // Key names of a section in file order (empty when the section is missing).
    TSList ReadSection(std::string_view section);
    // Section names in file order.
    TSList ReadSections();
    // Keys of a section with their values, in file order.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section);

    // Writes return true when the file holds the change (or, inside BeginUpdate / EndUpdate,
    // when the change is accepted), false when the key is refused or the file could not be
    // written (LastResult tells why). After a failed file write the change stays in memory,
    // and reads of this object return it, so the program goes on with what the user chose;
    // the next successful write stores it too.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int32_t value);
    // Removes a section with all its lines; true when the file is as asked.
    bool EraseSection(std::string_view section);
    // Removes one key; true when the file is as asked.
    bool DeleteKey(std::string_view section, std::string_view key);

    // Gathers the writes until the matching EndUpdate into one file write (calls nest).
    void BeginUpdate();
    // Writes the file when changes are pending; false when that write failed.
    bool EndUpdate();
    class Update {
    public:
        explicit Update(TIniF& ini)
            : ini_(ini) {
            ini_.BeginUpdate();
        }
        ~Update() { (void)ini_.EndUpdate(); }
        Update(const Update&) = delete;
        Update& operator=(const Update&) = delete;

    private:
        TIniF& ini_;
    };

    // The outcome of the last file write.
    ReplaceResult LastResult() const { return lastResult_; }
    // How many times this object has written the file (each one a whole-file replacement).
    int FileWrites() const { return fileWrites_; }

    // Whether each write is also flushed to the disk before the rename (fdatasync). Off by
    // default: the rename alone means a crash of the program never leaves a half-written
    // file, and ext4 (the usual file system) flushes a file renamed over another before the
    // rename counts. A flush per write costs a disk round trip, which makes a thousand
    // key-by-key writes take seconds instead of a fifth of a second (bench/store).
    void SetDurable(bool durable) { durable_ = durable; }

    // What a symbolic link at the file's name means. Follow (the default) suits the user's own
    // settings files, which dotfile managers keep as links. A packet's state file uses Replace:
    // a link there is neither read nor written through; the first write replaces it with a
    // regular file.
    void SetLinkPolicy(LinkPolicy links) {
        links_ = links;
        loaded_ = false;
    }

    // How a name or value is stored: CR LF, CR and LF replaced by one blank each (and, for
    // names, blanks and TABs around them removed).
    static std::string CleanValue(std::string_view value);
    static std::string CleanName(std::string_view name);

private:
    struct Entry {
        bool isKey = false;  // a live key; otherwise a line kept verbatim (comment, junk ...)
        std::string name;    // key name as written (isKey)
        std::string folded;  // name folded to upper case, for lookups (isKey)
        std::string value;   // value (isKey)
        std::string raw;     // the line as read; empty once the key is changed
    };
    struct Section {
        bool hasHeader = false;  // false only for the lines before the first section
        std::string name;        // as written
        std::string folded;      // upper case, for lookups
        std::string raw;         // header line as read; empty for a new section
        std::vector<Entry> entries;
        std::unordered_map<std::string, size_t> keys;  // folded key name -> place in entries
    };
    struct Stamp {
        bool exists = false;
        uint64_t dev = 0, ino = 0, size = 0;
        int64_t mtimeNs = 0, ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    void Sync();
    void Load();
    Stamp Current() const;
    Section* FindSection(std::string_view foldedName);
    static Entry* FindKey(Section& section, std::string_view foldedKey);
    static void IndexKeys(Section& section);
    bool Changed();
    bool Save();
    std::string Serialize() const;

    std::string path_;               // Shift_JIS path
    std::vector<Section> sections_;  // [0] holds the lines before the first section
    std::unordered_map<std::string, size_t> sectionIndex_;  // folded name -> place in sections_
    Stamp stamp_;           // identity of the file the model was read from or written to
    bool loaded_ = false;   // the model reflects stamp_
    bool readable_ = true;  // false when the file exists but could not be read
    bool hadBom_ = false;   // the file starts with a UTF-8 byte-order mark (kept)
    int updateDepth_ = 0;   // BeginUpdate nesting
    int fileWrites_ = 0;    // file writes tried
    bool pending_ = false;  // changes not yet written (inside an update, or after a failure)
    bool durable_ = false;  // flush each write to the disk before the rename
    LinkPolicy links_ = LinkPolicy::Follow;
    ReplaceResult lastResult_ = ReplaceResult::Ok;
};

}  // namespace pelorin
