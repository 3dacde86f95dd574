// TQtEditor: the external editor for the core (store/editor.h), run as a QProcess.
//
// The program is started from its argument vector (never through a shell) in the working
// directory given, with its standard input, output and error on the null device: an editor
// that writes to them never blocks on a full pipe, and one left running when Pelorin quits
// never dies of a broken pipe. The wait is a local event loop left when the process finishes,
// so the window repaints and takes input meanwhile; the caller decides what to disable.
//
// Several waits may be open at once (a new mail written while an answer's editor still
// runs); they nest as their event loops do, so an outer composition goes on only after the
// inner one has ended. AbandonAll ends every wait at once with EditorRun::Abandoned (the
// window is quitting): the editors themselves keep running, detached from Pelorin, and their
// files stay where they are.
#pragma once

#include "store/editor.h"

#include <QObject>

#include <vector>

class QEventLoop;
class QProcess;

namespace pelorin {

class TQtEditor : public QObject, public TEditor {
    Q_OBJECT

public:
    explicit TQtEditor(QObject* parent = nullptr);
    ~TQtEditor() override;

    EditorRun RunAndWait(const std::vector<std::string>& argv,
                         std::string_view workingDir) override;

    // How many waits are open.
    int Running() const { return static_cast<int>(waits_.size()); }
    // Ends every open wait with Abandoned; the editor processes are left running.
    void AbandonAll();

signals:
    // The number of open waits changed.
    void RunningChanged(int running);

private:
    struct Wait {
        QEventLoop* loop;   // the wait's event loop (on the waiting frame's stack)
        QProcess* process;  // owned by the wait until abandoned, then left alive
        bool abandoned;
    };
    std::vector<Wait*> waits_;  // open waits, innermost last; each lives on its caller's stack
};

}  // namespace pelorin
