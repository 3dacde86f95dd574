// The plug-in report (see plugin_report.h).
#include "app/plugin_report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace pelorin {

namespace {

constexpr const char* kPlugins[] = {"ifjpeg.spi", "ifgif.spi", "iftiff.spi", "ifpic.spi",
                                    "ifpic2.spi", "ifmag.spi", "ifxld4.spi", "ifpi.spi"};

// Loads the plug-in for a moment, as the picture control does, and names what is wrong.
QString LoadCheck(const QString& path) {
    dlerror();
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        return why ? QString::fromLocal8Bit(why) : QStringLiteral("cannot be loaded");
    }
    QString result = QStringLiteral("ok");
    for (const char* entry : {"GetPictureInfo", "GetPicture", "GetPreview"}) {
        if (!dlsym(handle, entry)) {
            result = QStringLiteral("no ") + QString::fromLatin1(entry);
            break;
        }
    }
    dlclose(handle);
    return result;
}

}  // namespace

QString PluginReport(const QStringList& dirs) {
    QString report;
    for (const char* name : kPlugins) {
        const QString file = QString::fromLatin1(name);
        QString found;
        for (const QString& dir : dirs) {
            const QString candidate = QDir(dir).filePath(file);
            if (QFileInfo(candidate).isFile()) {
                found = candidate;
                break;
            }
        }
        report += file + QLatin1Char('\t');
        if (found.isEmpty())
            report += QStringLiteral("-\tnot found\n");
        else
            report += found + QLatin1Char('\t') + LoadCheck(found) + QLatin1Char('\n');
    }
    return report;
}

}  // namespace pelorin
