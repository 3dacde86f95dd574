#include "app/picture_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace pelorin {

TPictureFile::TPictureFile() = default;

TPictureFile::~TPictureFile() {
    Clear();
}

QString TPictureFile::Write(const std::string& bytes, const QString& extension) {
    Clear();
    if (!dir_) {
        auto dir = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("pelorin-XXXXXX")));
        if (!dir->isValid())
            return QString();
        dir_ = std::move(dir);
    }
    auto file = std::make_unique<QTemporaryFile>(dir_->filePath(QStringLiteral("picture-XXXXXX")) +
                                                 extension);
    if (!file->open())
        return QString();
    const auto size = static_cast<qint64>(bytes.size());
    if (file->write(bytes.data(), size) != size || !file->flush()) {
        file->remove();
        return QString();
    }
    file->close();
    file_ = std::move(file);
    return file_->fileName();
}

void TPictureFile::Clear() {
    if (file_) {
        file_->remove();
        file_.reset();
    }
}

QString TPictureFile::Path() const {
    return file_ ? file_->fileName() : QString();
}

}  // namespace pelorin
