// The external editor's command: its default, how the configured text becomes an argument
// vector, and running it on a file through TEditor (editor.h).
//
// Default ([Editor] ExternalEditor when the key is missing): $VISUAL when set and not empty,
// else $EDITOR, else "x-terminal-emulator -e editor" - Debian's alternatives for the user's
// terminal and the user's text editor, both of which run until the editing is over (a terminal
// started this way waits for its command). The app reads the environment and hands the values
// to DefaultEditorCommand; the core reads no environment itself.
//
// The configured command is split into words the way a shell would split a simple command,
// without any of a shell's other powers: blanks and TABs separate words; text in double or
// single quotes is kept together (quotes removed); a backslash outside single quotes keeps the
// next character as it is. A command that as a whole names an existing file is one word, so a
// program path with blanks needs no quotes. The file to edit is appended as one more word,
// never split or interpreted, so names with blanks, quotes or "$" are safe.
#pragma once

#include "store/dialogs.h"
#include "store/editor.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// $VISUAL, else $EDITOR, else "x-terminal-emulator -e editor". Null or empty values count as
// unset.
std::string DefaultEditorCommand(const char* visual, const char* editor);

// The words of a configured editor command (see above). Empty for an empty command.
std::vector<std::string> SplitEditorCommand(std::string_view command);

// Runs the editor on `file` with `workingDir` as working directory and waits for it. When the
// command is empty or the program cannot be started, tells the user (OK box, when `dialogs` is
// given) and returns FailedToStart; the caller goes on with the file as it is.
EditorRun RunEditor(TEditor& editor,
                    std::string_view command,
                    std::string_view file,
                    std::string_view workingDir,
                    TDialogs* dialogs);

}  // namespace pelorin
