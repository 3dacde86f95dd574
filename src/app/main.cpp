// The program entry: the application titled "Pelorin", the main window started with the
// command-line arguments (Qt's own options are taken out first), and the event loop until the
// main window closes.
#include "app/application.h"
#include "app/main_form.h"

int main(int argc, char** argv) {
    pelorin::TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    pelorin::TMainForm window(arguments);
    window.show();
    return QCoreApplication::exec();
}
