// The plug-in folders (see plugin_dirs.h).
#include "app/plugin_dirs.h"

#include "app/own_dir.h"

#include <QCoreApplication>
#include <QDir>

#ifndef PELORIN_PLUGIN_RELDIR
#define PELORIN_PLUGIN_RELDIR "../lib/pelorin"
#endif

namespace pelorin {

QStringList PluginDirs() {
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(QDir(program).filePath(QStringLiteral(PELORIN_PLUGIN_RELDIR))),
            QDir(OwnDirectory()).filePath(QStringLiteral("plugins"))};
}

}  // namespace pelorin
