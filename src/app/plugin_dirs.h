// Where the program looks for its picture plug-ins (ifjpeg.spi, ifgif.spi, iftiff.spi ...),
// in order: its own folder (the build puts them beside the program), the library folder of an
// installed program (<prefix>/<libdir>/pelorin, found from the program's folder as
// PELORIN_PLUGIN_RELDIR, e.g. "../lib/x86_64-linux-gnu/pelorin"), then the plugins folder of
// its own directory ($PELORIN_HOME/plugins).
#pragma once

#include <QStringList>

namespace pelorin {

QStringList PluginDirs();

}  // namespace pelorin
