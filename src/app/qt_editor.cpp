// The external editor as a QProcess (see qt_editor.h).
#include "app/qt_editor.h"

#include "view/sjis_qt.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringList>

#include <algorithm>

namespace pelorin {

TQtEditor::TQtEditor(QObject* parent)
    : QObject(parent) {}

TQtEditor::~TQtEditor() {
    AbandonAll();
}

EditorRun TQtEditor::RunAndWait(const std::vector<std::string>& argv, std::string_view workingDir) {
    if (argv.empty())
        return EditorRun::FailedToStart;
    auto* process = new QProcess;
    process->setProgram(ToQString(argv.front()));
    QStringList arguments;
    for (size_t i = 1; i < argv.size(); ++i) arguments << ToQString(argv[i]);
    process->setArguments(arguments);
    process->setWorkingDirectory(ToQString(workingDir));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());

    QEventLoop loop;
    Wait wait{&loop, process, false};
    // Connected before the start, so that a program that ends at once is not missed.
    connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    process->start();
    if (!process->waitForStarted(-1)) {
        delete process;
        return EditorRun::FailedToStart;
    }
    waits_.push_back(&wait);
    emit RunningChanged(Running());
    if (process->state() != QProcess::NotRunning)
        loop.exec();
    waits_.erase(std::find(waits_.begin(), waits_.end(), &wait));
    emit RunningChanged(Running());
    if (wait.abandoned) {
        // Left running on purpose: destroying a running QProcess would kill the user's editor
        // with whatever it has not saved yet.
        process->disconnect(&loop);
        return EditorRun::Abandoned;
    }
    delete process;
    return EditorRun::Finished;
}

void TQtEditor::AbandonAll() {
    for (Wait* wait : waits_) {
        wait->abandoned = true;
        wait->loop->exit(0);
    }
}

}  // namespace pelorin
