// The uudecoder. Each line is tried against three rules in this order: an "end" line closes
// the block, a line inside a block is a data line, a "begin " line opens a block. A "begin "
// line inside a block is never taken as data: its first character gives n = 2, which needs a
// line of 3 to 5 characters, and a begin line has at least 12.
//
// Group decoding (A B C D the values of four characters):
//
//   byte 1 = A * 4 + B div 16
//   byte 2 = (B mod 16) * 16 + C div 4
//   byte 3 = (C mod 4) * 64 + D
#include "coding/uucode.h"

#include "coding/safe_file.h"

namespace pelorin {
namespace {

int CharValue(std::string_view line, std::size_t i) {
    if (i >= line.size())
        return 0;  // a lost trailing space
    return (static_cast<unsigned char>(line[i]) - 32) & 63;
}

// Writes the bytes of one data line; malformed lines write nothing.
void DecodeDataLine(std::string_view line, SafeFileWriter& writer) {
    const int first = static_cast<unsigned char>(line[0]);
    if (first < 32)
        return;
    const int n = (first - 32) % 64;
    const int groups = (n + 2) / 3;
    const std::size_t len = line.size();
    const auto full = static_cast<std::size_t>(4 * groups);
    if (n == 0 || len + 2 <= full || len >= full + 2)
        return;
    std::string bytes;
    bytes.reserve(full);
    for (int g = 0; g < groups; ++g) {
        const std::size_t at = 1 + 4 * static_cast<std::size_t>(g);
        const int a = CharValue(line, at);
        const int b = CharValue(line, at + 1);
        const int c = CharValue(line, at + 2);
        const int d = CharValue(line, at + 3);
        bytes.push_back(static_cast<char>((a << 2 | b >> 4) & 0xFF));
        bytes.push_back(static_cast<char>(((b & 15) << 4 | c >> 2) & 0xFF));
        bytes.push_back(static_cast<char>(((c & 3) << 6 | d) & 0xFF));
    }
    bytes.resize(static_cast<std::size_t>(n));
    writer.Write(bytes);
}

UuResult FromSafeFile(SafeFileResult r, UuResult written) {
    switch (r) {
        case SafeFileResult::Written:
            return written;
        case SafeFileResult::Exists:
            return UuResult::Exists;
        case SafeFileResult::BadName:
            return UuResult::BadName;
        case SafeFileResult::Failed:
            break;
    }
    return UuResult::Failed;
}

}  // namespace

const char* to_string(UuResult result) {
    switch (result) {
        case UuResult::Decoded:
            return "decoded";
        case UuResult::NothingDecoded:
            return "nothing decoded";
        case UuResult::Exists:
            return "exists";
        case UuResult::NoEnd:
            return "no end line";
        case UuResult::BadName:
            return "bad name";
        case UuResult::Failed:
            return "failed";
    }
    return "?";
}

void TUucode::SetCodeLength(int value) {
    const int third = value / 3;
    codeLength_ = (third < 1 || third > 20) ? 45 : third * 3;
}

void TUucode::SetFileStat(std::string_view value) {
    if (value.size() == 3 && value.find_first_not_of("01234567") == std::string_view::npos)
        fileStat_ = value;
}

UuResult TUucode::Decode() {
    UuResult result = UuResult::NothingDecoded;
    Blocks.clear();
    SafeFileWriter writer;
    bool inBlock = false;

    // Finishes the open file of the newest block; `complete` is its result when all went well.
    auto finish = [&](UuResult complete) {
        TUuBlock& block = Blocks.back();
        const std::size_t size = writer.Size();
        block.Result = FromSafeFile(writer.Commit(), complete);
        block.Bytes = block.Result == complete ? size : 0;
        return block.Result;
    };

    for (const std::string& raw : EncodedStrings) {
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == "end") {
            inBlock = false;
            if (writer.IsOpen())
                result = finish(UuResult::Decoded);
        }
        if (inBlock && !line.empty())
            DecodeDataLine(line, writer);
        if (line.size() > 11 && line.substr(0, 6) == "begin ") {
            if (writer.IsOpen())
                static_cast<void>(finish(UuResult::NoEnd));  // the result stays as it is
            inBlock = true;
            Filename = line.substr(10);
            Blocks.push_back({Filename, UuResult::Decoded, 0});
            const SafeFileResult opened = writer.Open(
                DataPath, Filename, static_cast<unsigned>(std::stoul(fileStat_, nullptr, 8)));
            if (opened != SafeFileResult::Written) {
                inBlock = false;
                result = FromSafeFile(opened, UuResult::Decoded);
                Blocks.back().Result = result;
            }
        }
    }
    if (writer.IsOpen())
        result = finish(UuResult::NoEnd);
    return result;
}

}  // namespace pelorin
