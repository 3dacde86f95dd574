// The program entry: the application titled "Pelorin", the main window started with the
// command-line arguments (Qt's own options are taken out first), and the event loop until the
// main window closes. `--help`, `--version` and `--plugins` print and end without a window.
#include "app/app_version.h"
#include "app/application.h"
#include "app/main_form.h"
#include "app/plugin_dirs.h"
#include "app/plugin_report.h"

#include <QCoreApplication>

#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: pelorin [PATH/AREAS ...]\n"
    "\n"
    "Opens each packet whose AREAS file is named (other arguments are ignored), after the\n"
    "packets of [Files] AutoLoad in the settings file ($PELORIN_HOME/pelorin.INI, else\n"
    "~/.config/pelorin/pelorin.INI).\n"
    "\n"
    "  --plugins   list the picture plug-ins, where they are found and whether they load\n"
    "  --version   print the version\n"
    "  --help      print this text\n";

}  // namespace

int main(int argc, char** argv) {
    // These print and end before any window system is needed (they work without a display).
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("Pelorin %s\n", pelorin::BuildVersionText().c_str());
            return 0;
        }
        if (arg == "--plugins") {
            QCoreApplication core(argc, argv);
            std::fputs(pelorin::PluginReport(pelorin::PluginDirs()).toLocal8Bit().constData(),
                       stdout);
            return 0;
        }
    }
    pelorin::TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    pelorin::TMainForm window(arguments);
    window.show();
    return QCoreApplication::exec();
}
