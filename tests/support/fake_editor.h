// A scripted TEditor for tests (tests only): records every argument vector and working
// directory it is asked to run, and plays the user by running the next queued edit on the file
// (the last argument). With `failToStart` set it reports that the program could not be started
// and touches nothing; with no edit queued the file is left as it is. With `abandon` set it
// reports that the program quit while the editor ran.
#pragma once

#include "store/editor.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pelorin::testing {

class FakeEditor : public TEditor {
public:
    struct Run {
        std::vector<std::string> argv;
        std::string workingDir;
    };

    std::vector<Run> runs;                                      // every run, in order
    std::deque<std::function<void(const std::string&)>> edits;  // edits to make, in order
    bool failToStart = false;
    bool abandon = false;  // after the edit, report that the program quit while waiting

    EditorRun RunAndWait(const std::vector<std::string>& argv,
                         std::string_view workingDir) override {
        runs.push_back({argv, std::string(workingDir)});
        if (failToStart)
            return EditorRun::FailedToStart;
        if (!edits.empty() && !argv.empty()) {
            auto edit = std::move(edits.front());
            edits.pop_front();
            edit(argv.back());
        }
        return abandon ? EditorRun::Abandoned : EditorRun::Finished;
    }
};

}  // namespace pelorin::testing
