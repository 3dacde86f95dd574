// The application object (see application.h).
#include "app/application.h"

#include "app/error_display.h"
#include "app/qt_dialogs.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace pelorin {

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
    // No display name of its own: the platform windows would append it to every caption,
    // and the main window's caption names the program already.
    setApplicationName(QStringLiteral("Pelorin"));
    // The user interface is Japanese whatever the locale; Qt's own dialogs (files, fonts)
    // follow when the system has Qt's Japanese translations.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        TQtDialogs dialogs(activeWindow());
        ShowCurrentError(dialogs);
        return true;
    }
}

}  // namespace pelorin
