// TApplication: the Qt application object of the program. Titled "Pelorin", with Qt's own
// dialog texts in Japanese when the system has Qt's translations. Its event delivery is the
// last line of the general error display: an exception that escapes an event handler is shown
// in an error box and the event counts as handled, so the program keeps running.
#pragma once

#include <QApplication>

namespace pelorin {

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace pelorin
