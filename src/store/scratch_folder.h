// Private scratch folders inside a packet directory (".pelorin-import-" + six characters),
// where a zip import unpacks an archive before its messages are appended.
//
// The folder is made with mode 0700 and, for as long as its maker lives, holds a lock
// (flock on the folder itself) that tells other processes it is in use. Its maker removes it
// on every way out; a folder left by a process that was killed is removed by the next one
// that opens the packet or imports into it, once it is older than a minute and nobody holds
// its lock.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

inline constexpr std::string_view kScratchPrefix = ".pelorin-import-";

class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Makes the folder in `diskDirectory` (UTF-8, ending with "/"); false with errno set.
    bool Create(const std::string& diskDirectory);
    // The folder's on-disk path, ending with "/"; empty before Create.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

// Removes the scratch folders in packet directory `directory` (Shift_JIS) that their makers
// left behind: older than `minAgeSeconds` and not locked. Returns how many went.
int RemoveStaleScratchFolders(std::string_view directory, int minAgeSeconds = 60);

}  // namespace pelorin
