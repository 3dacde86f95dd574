// The external editor's command line (see compose_editor.h).
#include "store/compose_editor.h"

#include "coding/cp932.h"
#include "coding/jis.h"
#include "store/disk_path.h"
#include "store/strutil.h"

#include <filesystem>
#include <system_error>

namespace pelorin {

std::string DefaultEditorCommand(const char* visual, const char* editor) {
    if (visual && *visual)
        return visual;
    if (editor && *editor)
        return editor;
    return "x-terminal-emulator -e editor";
}

std::vector<std::string> SplitEditorCommand(std::string_view command) {
    std::vector<std::string> words;
    const std::string_view whole = TrimBlanks(command);
    if (whole.empty())
        return words;
    std::error_code ec;
    if (std::filesystem::is_regular_file(DiskPath(whole), ec)) {
        words.emplace_back(whole);
        return words;
    }
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        const char c = whole[i];
        // A double-byte character is kept whole: its second byte may be 0x5C, "\\".
        if (IsSjisLeadByte(static_cast<unsigned char>(c)) && i + 1 < whole.size()) {
            word += c;
            word += whole[++i];
            inWord = true;
            continue;
        }
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < whole.size() &&
                       (whole[i + 1] == '"' || whole[i + 1] == '\\')) {
                word += whole[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < whole.size()) {
            word += whole[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

EditorRun RunEditor(TEditor& editor,
                    std::string_view command,
                    std::string_view file,
                    std::string_view workingDir,
                    TDialogs* dialogs) {
    std::vector<std::string> argv = SplitEditorCommand(command);
    EditorRun run = EditorRun::FailedToStart;
    if (!argv.empty()) {
        argv.emplace_back(file);
        run = editor.RunAndWait(argv, workingDir);
    }
    if (run == EditorRun::FailedToStart && dialogs) {
        dialogs->MessageBox(Sjis("エディタを起動できませんでした。") + "\n" + std::string(command),
                            MsgIcon::Error, MsgButtons::Ok);
    }
    return run;
}

}  // namespace pelorin
