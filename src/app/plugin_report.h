// What `pelorin --plugins` prints: for each picture plug-in the program knows, one line of
// three TAB-separated columns — its file name, the path where the program finds it (the first
// plug-in folder that holds it) or "-", and "ok" when it loads and exports GetPictureInfo,
// GetPicture and GetPreview, else why not ("not found", the loader's message, "no GetPicture").
// A user whose JPEG pictures do not show can see at once which plug-in is missing and why.
#pragma once

#include <QString>
#include <QStringList>

namespace pelorin {

QString PluginReport(const QStringList& dirs);

}  // namespace pelorin
