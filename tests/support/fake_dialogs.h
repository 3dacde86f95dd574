// A scripted TDialogs for tests (tests only): records every message box and input box it is
// shown, and answers from queues filled by the test (OK, Cancel or No, and "cancelled" when a
// queue is empty).
#pragma once

#include "store/dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace pelorin::testing {

class FakeDialogs : public TDialogs {
public:
    struct Shown {
        std::string text;
        MsgIcon icon;
        MsgButtons buttons;
    };

    std::vector<Shown> shown;          // every message box, in order
    std::deque<MsgAnswer> answers;     // answers to give, in order
    std::vector<std::string> prompts;  // every input box prompt
    std::deque<std::string> inputs;    // texts to type into input boxes

    MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override {
        shown.push_back({std::string(text), icon, buttons});
        if (!answers.empty()) {
            MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return TSilentDialogs().MessageBox(text, icon, buttons);
    }

    bool InputBox(std::string_view, std::string_view prompt, std::string& value) override {
        prompts.emplace_back(prompt);
        if (inputs.empty())
            return false;
        value = inputs.front();
        inputs.pop_front();
        return true;
    }
};

}  // namespace pelorin::testing
