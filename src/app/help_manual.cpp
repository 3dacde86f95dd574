// Where the manual is (see help_manual.h).
#include "app/help_manual.h"

#include <QDir>
#include <QFileInfo>

#ifndef PELORIN_MANUAL_RELDIR
#define PELORIN_MANUAL_RELDIR "../share/pelorin/manual"
#endif

namespace pelorin {

QString FindManual(const QString& programDir) {
    const QDir program(programDir);
    for (const QString& dir : {program.filePath(QStringLiteral("manual")),
                               program.filePath(QStringLiteral(PELORIN_MANUAL_RELDIR))}) {
        const QString file = QDir::cleanPath(QDir(dir).filePath(QStringLiteral("index.html")));
        if (QFileInfo(file).isFile())
            return file;
    }
    return QString();
}

}  // namespace pelorin
