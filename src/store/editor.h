// TEditor: how the core has the external editor run. Composition writes a text file, asks the
// UI layer to start the user's editor on it and to wait until the editor has ended, and then
// reads the file back. The program implements it with a QProcess and an event loop, so the
// window keeps repainting while the user writes; tests implement it with a scripted fake that
// edits the file itself.
//
// The program is started from an argument vector (argv[0] the program, then its arguments,
// the file last), never through a shell: a file name with blanks, quotes or "$" is one
// argument and is never interpreted. Building the vector from the configured command is
// compose_editor.h's job.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

enum class EditorRun {
    Finished,       // the editor ran and has ended (whatever its exit status)
    FailedToStart,  // the program could not be started (missing, not executable ...)
    Abandoned,      // the program is quitting while the editor still runs: the caller stops
                    // at once, touches nothing it held before the wait and keeps the file
};

class TEditor {
public:
    virtual ~TEditor() = default;

    // Starts `argv` (Shift_JIS text, like every path of the core) with `workingDir` as its
    // working directory and returns when the process has ended. The UI stays responsive
    // meanwhile; the caller decides what to disable around the call.
    virtual EditorRun RunAndWait(const std::vector<std::string>& argv,
                                 std::string_view workingDir) = 0;
};

}  // namespace pelorin
