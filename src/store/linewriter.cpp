// The line writer (see linewriter.h). Lines are gathered into 64 KiB pieces so that a file of
// many short lines costs few system calls.
#include "store/linewriter.h"

#include "coding/file_write.h"
#include "store/disk_path.h"

#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace pelorin {
namespace {

constexpr size_t kPiece = 64 * 1024;

// Feeds frame and lines to `sink` in pieces; returns false as soon as the sink fails.
template <typename Sink>
bool Produce(const TSList& lines, char lineEnd, std::string_view frame, Sink sink) {
    std::string piece;
    piece.reserve(kPiece);
    piece.append(frame);
    for (const std::string& line : lines) {
        if (piece.size() + line.size() >= kPiece) {
            if (!sink(std::string_view(piece)))
                return false;
            piece.clear();
            if (line.size() >= kPiece) {
                if (!sink(std::string_view(line)))
                    return false;
            } else {
                piece.append(line);
            }
        } else {
            piece.append(line);
        }
        if (lineEnd == '\r')
            piece.append("\r\n");
        else
            piece.push_back(lineEnd);
    }
    return piece.empty() || sink(std::string_view(piece));
}

}  // namespace

ReplaceResult WriteLines(const TSList& lines,
                         std::string_view path,
                         char lineEnd,
                         std::string_view frame,
                         WriteMode mode,
                         LinkPolicy links) {
    std::error_code ec;
    const std::filesystem::path disk = DiskPath(path);
    if (mode == WriteMode::Append && std::filesystem::exists(disk, ec)) {
        const int flags =
            O_WRONLY | O_APPEND | O_CLOEXEC | (links == LinkPolicy::Replace ? O_NOFOLLOW : 0);
        const int fd = ::open(disk.c_str(), flags);
        if (fd < 0)
            return ReplaceResult::OpenFailed;
        bool ok = Produce(lines, lineEnd, frame,
                          [fd](std::string_view bytes) { return WriteFully(fd, bytes); });
        if (::close(fd) != 0)
            ok = false;
        return ok ? ReplaceResult::Ok : ReplaceResult::WriteFailed;
    }
    FileReplacer out;
    if (ReplaceResult r = out.Open(path, true, links); r != ReplaceResult::Ok)
        return r;
    Produce(lines, lineEnd, frame, [&out](std::string_view bytes) {
        out.Write(bytes);
        return true;
    });
    return out.Commit();
}

}  // namespace pelorin
