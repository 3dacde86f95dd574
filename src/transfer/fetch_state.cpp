// FetchState: see fetch_state.h.
#include "transfer/fetch_state.h"

#include "transfer/errors.h"

#include "coding/cp932.h"
#include "store/inifile.h"
#include "store/replace_file.h"
#include "store/textfile.h"

namespace pelorin::transfer {
namespace {

// A server name as a file-name part: anything but letters, digits, "-", "_" and "." is "_".
std::string FilePart(const std::string& name) {
    std::string out;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        out += plain ? c : '_';
    }
    return out;
}

}  // namespace

FetchState::FetchState(const std::string& dir)
    : dir_(dir.empty() || dir.back() == '/' ? dir : dir + "/")
    , ini_(std::make_unique<TIniF>(cp932::FromUtf8(dir_ + "transfer-state.INI"))) {}

FetchState::~FetchState() = default;

int64_t FetchState::Get(const std::string& section, const std::string& key) {
    return ToInteger64(ini_->ReadString(section, key, "0"));
}

void FetchState::Set(const std::string& section, const std::string& key, int64_t value) {
    if (!ini_->WriteString(section, key, std::to_string(value)))
        throw TransferError(Failure::LocalFile, dir_ + "transfer-state.INI: " +
                                                    std::string(to_string(ini_->LastResult())) +
                                                    " " + LastWriteError());
}

std::string FetchState::GetText(const std::string& section, const std::string& key) {
    return ini_->ReadString(section, key, "");
}

void FetchState::SetText(const std::string& section,
                         const std::string& key,
                         const std::string& value) {
    if (ini_->ReadString(section, key, "") == value)
        return;
    if (!ini_->WriteString(section, key, value))
        throw TransferError(Failure::LocalFile, dir_ + "transfer-state.INI: " +
                                                    std::string(to_string(ini_->LastResult())) +
                                                    " " + LastWriteError());
}

std::set<std::string> FetchState::Uidls(const std::string& server) {
    std::set<std::string> out;
    for (const std::string& line : SplitTextLines(
             ReadFileBytes(cp932::FromUtf8(dir_ + "pop3-" + FilePart(server) + ".uidl"))))
        if (!line.empty())
            out.insert(line);
    return out;
}

void FetchState::SetUidls(const std::string& server, const std::set<std::string>& uidls) {
    std::string text;
    for (const std::string& u : uidls) text += u + "\n";
    const std::string path = dir_ + "pop3-" + FilePart(server) + ".uidl";
    if (ReplaceFile(cp932::FromUtf8(path), text) != ReplaceResult::Ok)
        throw TransferError(Failure::LocalFile, path + ": " + LastWriteError());
}

}  // namespace pelorin::transfer
