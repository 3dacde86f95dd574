// TIniF: an in-memory model of one INI file, written whole on every change (see inifile.h).
//
// The model is a list of sections; section 0 holds the lines before the first header and is
// never written with a header. Each section is a list of entries in file order: live keys and
// verbatim lines (blank lines, comments, junk, shadowed repeats). An unchanged entry keeps its
// raw line, so a file edited by hand keeps its spelling and spacing except where the program
// writes. Lookups compare names folded to upper case (ASCII letters only; double-byte
// characters are compared whole).
#include "store/inifile.h"

#include "store/disk_path.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace pelorin {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kEol = "\r\n";

// Splits at CR LF, LF or CR; a last line without an end counts, a final end adds nothing.
std::vector<std::string_view> SplitAnyEol(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

bool ValidKey(std::string_view key) {
    return !key.empty() && key[0] != '[' && key[0] != ';' && key.find('=') == std::string::npos;
}

}  // namespace

TIniF::TIniF(std::string path)
    : path_(std::move(path)) {}

TIniF::~TIniF() = default;

std::string TIniF::CleanValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out.push_back(' ');
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

std::string TIniF::CleanName(std::string_view name) {
    return std::string(TrimBlanks(CleanValue(name)));
}

TIniF::Stamp TIniF::Current() const {
    Stamp s;
    struct stat st {};
    if (links_ == LinkPolicy::Follow) {
        if (::stat(DiskPath(path_).c_str(), &st) != 0)
            return s;
    } else if (::lstat(DiskPath(path_).c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        // A link that is not to be followed is no file of ours: nothing is read through it,
        // and the first write puts a regular file in its place.
        return s;
    }
    s.exists = true;
    s.dev = static_cast<uint64_t>(st.st_dev);
    s.ino = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<uint64_t>(st.st_size);
    s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

void TIniF::Sync() {
    // Changes not yet on disk (inside an update, or after a failed write) win over whatever
    // another writer did meanwhile; the next successful write stores them.
    if (loaded_ && (updateDepth_ > 0 || pending_))
        return;
    Stamp now = Current();
    if (loaded_ && now == stamp_)
        return;
    stamp_ = now;
    Load();
}

void TIniF::Load() {
    loaded_ = true;
    readable_ = true;
    hadBom_ = false;
    sections_.clear();
    sectionIndex_.clear();
    sections_.emplace_back();  // the lines before the first header
    if (!stamp_.exists)
        return;
    std::ifstream in(DiskPath(path_), std::ios::binary);
    if (!in) {
        readable_ = false;
        return;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        readable_ = false;
        return;
    }
    std::string_view body(text);
    // The mark is written back with the file: dropping it could turn a second mark that
    // follows it into the new first one, and the line after it into something else.
    hadBom_ = body.substr(0, kBom.size()) == kBom;
    if (hadBom_)
        body.remove_prefix(kBom.size());

    size_t current = 0;
    for (std::string_view line : SplitAnyEol(body)) {
        std::string_view t = TrimBlanks(line);
        Entry entry;
        entry.raw = std::string(line);
        if (!t.empty() && t[0] == '[') {
            size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                std::string name(TrimBlanks(t.substr(1, close - 1)));
                std::string folded = SjisUpper(name);
                auto known = sectionIndex_.find(folded);
                current = known == sectionIndex_.end() ? sections_.size() : known->second;
                if (current == sections_.size()) {
                    sectionIndex_.emplace(folded, current);
                    Section s;
                    s.hasHeader = true;
                    s.name = std::move(name);
                    s.folded = std::move(folded);
                    s.raw = std::string(line);
                    sections_.push_back(std::move(s));
                }
                continue;
            }
        }
        if (current > 0 && !t.empty() && t[0] != ';') {
            size_t eq = line.find('=');
            if (eq != std::string_view::npos) {
                std::string_view key = TrimBlanks(line.substr(0, eq));
                std::string folded = SjisUpper(key);
                if (!key.empty() && !FindKey(sections_[current], folded)) {
                    entry.isKey = true;
                    entry.name = std::string(key);
                    sections_[current].keys.emplace(folded, sections_[current].entries.size());
                    entry.folded = std::move(folded);
                    entry.value = std::string(line.substr(eq + 1));
                }
            }
        }
        sections_[current].entries.push_back(std::move(entry));
    }
}

TIniF::Section* TIniF::FindSection(std::string_view foldedName) {
    // A packet's state file holds a section per area: thousands of them.
    auto it = sectionIndex_.find(std::string(foldedName));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

TIniF::Entry* TIniF::FindKey(Section& section, std::string_view foldedKey) {
    // [Groups] of a packet's state file holds a key per area.
    auto it = section.keys.find(std::string(foldedKey));
    return it == section.keys.end() ? nullptr : &section.entries[it->second];
}

void TIniF::IndexKeys(Section& section) {
    section.keys.clear();
    for (size_t i = 0; i < section.entries.size(); ++i) {
        if (section.entries[i].isKey)
            section.keys.emplace(section.entries[i].folded, i);
    }
}

std::string TIniF::ReadString(std::string_view section,
                              std::string_view key,
                              std::string_view def) {
    Sync();
    Section* s = FindSection(SjisUpper(CleanName(section)));
    Entry* e = s ? FindKey(*s, SjisUpper(CleanName(key))) : nullptr;
    return e ? e->value : std::string(def);
}

int32_t TIniF::ReadInteger(std::string_view section, std::string_view key, int32_t def) {
    Sync();
    Section* s = FindSection(SjisUpper(CleanName(section)));
    Entry* e = s ? FindKey(*s, SjisUpper(CleanName(key))) : nullptr;
    int32_t value = 0;
    if (e && ParseInt32(TrimBlanks(e->value), value))
        return value;
    return def;
}

bool TIniF::KeyExists(std::string_view section, std::string_view key) {
    Sync();
    Section* s = FindSection(SjisUpper(CleanName(section)));
    return s && FindKey(*s, SjisUpper(CleanName(key)));
}

bool TIniF::SectionExists(std::string_view section) {
    Sync();
    return FindSection(SjisUpper(CleanName(section))) != nullptr;
}

TSList TIniF::ReadSection(std::string_view section) {
    Sync();
    TSList keys;
    if (Section* s = FindSection(SjisUpper(CleanName(section)))) {
        for (const Entry& e : s->entries) {
            if (e.isKey)
                keys.push_back(e.name);
        }
    }
    return keys;
}

TSList TIniF::ReadSections() {
    Sync();
    TSList names;
    for (size_t k = 1; k < sections_.size(); ++k) names.push_back(sections_[k].name);
    return names;
}

std::vector<std::pair<std::string, std::string>> TIniF::ReadSectionValues(
    std::string_view section) {
    Sync();
    std::vector<std::pair<std::string, std::string>> values;
    if (Section* s = FindSection(SjisUpper(CleanName(section)))) {
        for (const Entry& e : s->entries) {
            if (e.isKey)
                values.emplace_back(e.name, e.value);
        }
    }
    return values;
}

bool TIniF::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName = CleanName(section);
    const std::string keyName = CleanName(key);
    if (!ValidKey(keyName))
        return false;
    const std::string cleanValue = CleanValue(value);
    Sync();
    if (!readable_)
        return false;
    const std::string sectionFolded = SjisUpper(sectionName);
    const std::string keyFolded = SjisUpper(keyName);
    Section* s = FindSection(sectionFolded);
    if (!s) {
        Section fresh;
        fresh.hasHeader = true;
        fresh.name = sectionName;
        fresh.folded = sectionFolded;
        sectionIndex_.emplace(sectionFolded, sections_.size());
        sections_.push_back(std::move(fresh));
        s = &sections_.back();
    }
    if (Entry* e = FindKey(*s, keyFolded)) {
        if (e->value == cleanValue)
            return !pending_ || Changed();
        e->value = cleanValue;
        e->raw.clear();
        return Changed();
    }
    // A new key goes after the last line of the section that is not blank, so blank lines
    // that separate it from the next section stay at its end.
    size_t at = s->entries.size();
    while (at > 0 && !s->entries[at - 1].isKey && TrimBlanks(s->entries[at - 1].raw).empty()) --at;
    Entry e;
    e.isKey = true;
    e.name = keyName;
    e.folded = keyFolded;
    e.value = cleanValue;
    const bool atEnd = at == s->entries.size();
    s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(e));
    if (atEnd)
        s->keys.emplace(keyFolded, at);
    else
        IndexKeys(*s);
    return Changed();
}

bool TIniF::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniF::EraseSection(std::string_view section) {
    Sync();
    if (!readable_)
        return false;
    const std::string folded = SjisUpper(CleanName(section));
    for (size_t k = 1; k < sections_.size(); ++k) {
        if (sections_[k].folded == folded) {
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(k));
            sectionIndex_.clear();
            for (size_t j = 1; j < sections_.size(); ++j)
                sectionIndex_.emplace(sections_[j].folded, j);
            return Changed();
        }
    }
    return !pending_ || Changed();
}

bool TIniF::DeleteKey(std::string_view section, std::string_view key) {
    Sync();
    if (!readable_)
        return false;
    Section* s = FindSection(SjisUpper(CleanName(section)));
    if (!s)
        return !pending_ || Changed();
    const std::string folded = SjisUpper(CleanName(key));
    for (size_t i = 0; i < s->entries.size(); ++i) {
        if (s->entries[i].isKey && s->entries[i].folded == folded) {
            s->entries.erase(s->entries.begin() + static_cast<std::ptrdiff_t>(i));
            IndexKeys(*s);
            return Changed();
        }
    }
    return !pending_ || Changed();
}

void TIniF::BeginUpdate() {
    Sync();
    ++updateDepth_;
}

bool TIniF::EndUpdate() {
    if (updateDepth_ > 0)
        --updateDepth_;
    if (updateDepth_ > 0 || !pending_)
        return true;
    return Save();
}

bool TIniF::Changed() {
    pending_ = true;
    if (updateDepth_ > 0)
        return true;
    return Save();
}

bool TIniF::Save() {
    if (!readable_)
        return false;
    ++fileWrites_;
    lastResult_ = ReplaceFile(path_, Serialize(), durable_, links_);
    if (lastResult_ != ReplaceResult::Ok)
        return false;
    pending_ = false;
    stamp_ = Current();
    return true;
}

std::string TIniF::Serialize() const {
    std::string out;
    size_t estimate = 0;
    for (const Section& s : sections_) {
        estimate += s.name.size() + 4;
        for (const Entry& e : s.entries)
            estimate += e.raw.size() + e.name.size() + e.value.size() + 3;
    }
    out.reserve(estimate);
    if (hadBom_)
        out += kBom;
    for (const Section& s : sections_) {
        if (s.hasHeader) {
            if (!s.raw.empty()) {
                out += s.raw;
            } else {
                out += '[';
                out += s.name;
                out += ']';
            }
            out += kEol;
        }
        for (const Entry& e : s.entries) {
            if (e.isKey && e.raw.empty()) {
                out += e.name;
                out += '=';
                out += e.value;
            } else {
                out += e.raw;
            }
            out += kEol;
        }
    }
    return out;
}

}  // namespace pelorin
