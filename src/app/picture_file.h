// The file a picture part is shown from. The part's own bytes are decoded into a file of the
// program's own: a name QTemporaryFile chooses (mode 0600) in a private folder (mode 0700)
// made under the system's temporary folder at the first picture. The file goes when the next
// picture replaces it, when the picture is hidden, and when the window ends; the folder goes
// with the window. The data folder ([Files] DataPath) is never read or written for showing,
// so a file the user keeps there under the part's name is never shown in its place.
//
// The picture control picks its reader by the extension (view/tall.h), so the file is named
// with the extension PictureExtension gives (display_pipeline.h).
#pragma once

#include <QString>

#include <memory>
#include <string>

class QTemporaryDir;
class QTemporaryFile;

namespace pelorin {

class TPictureFile {
public:
    TPictureFile();
    ~TPictureFile();
    TPictureFile(const TPictureFile&) = delete;
    TPictureFile& operator=(const TPictureFile&) = delete;

    // Replaces the last picture file with `bytes` under a new name ending in `extension`
    // (".PNG"). Returns its path, or an empty string when it could not be written (nothing is
    // then left behind).
    QString Write(const std::string& bytes, const QString& extension);
    // Removes the picture file, if any.
    void Clear();
    // The path of the picture file, empty when there is none.
    QString Path() const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTemporaryFile> file_;
};

}  // namespace pelorin
