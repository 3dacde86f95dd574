// Fuzz target: a condition list from SetConditions, its evaluation against a message through
// the field handler, and editing operations on it.
//
// Input: one option byte (bit 0 regular expressions, bit 1 fuzzy search, bits 2-7 the number
// of edits), then the condition lines separated by LF. Edits take their line index and kind
// from the bytes of the lines themselves. Nothing may escape evaluation, rows must form a
// tree, and deleting everything must leave an empty list.
#include "select/match_fields.h"
#include "select/match_help.h"
#include "store/msg.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

pelorin::TMsg& Sample() {
    static pelorin::TMsg msg = [] {
        pelorin::TSList lines = {"Subject: Re: sample \x83\x65\x83\x58\x83\x67",
                                 "From: someone <a@example.jp>",
                                 "Date: Fri, 1 May 1998 12:00:00 +0900",
                                 "Message-ID: <1@example.jp>",
                                 "X-Tag: value",
                                 "",
                                 "body line one",
                                 "\x96\x7B\x95\xB6"};
        pelorin::TMsg m = pelorin::TMsg::FromLines(lines);
        m.mark = ' ';
        m.length = 100;
        return m;
    }();
    return msg;
}

void CheckRows(const pelorin::TMatchHelp& help) {
    const auto rows = help.Rows();
    Check(rows.size() == help.Conditions().size());
    for (size_t i = 0; i < rows.size(); ++i)
        Check(rows[i].depth >= 0 && rows[i].depth <= (i == 0 ? 0 : rows[i - 1].depth + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos <= text.size();) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos)
            lf = text.size();
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf + 1;
    }

    static pelorin::TMatchFields fields;
    fields.UseRegEx = options & 1;
    fields.Fuzzy = options & 2;
    fields.Today = [] { return std::chrono::year{1998} / std::chrono::May / std::chrono::day{8}; };
    fields.ExpireDate = std::chrono::year{1998} / std::chrono::April / std::chrono::day{1};

    pelorin::TMatchHelp help;
    fields.Attach(help);
    help.SetConditions(lines);
    CheckRows(help);
    (void)help.Evaluate(&Sample());

    const size_t edits = options >> 2;
    for (size_t k = 0; k < edits && k < text.size(); ++k) {
        const auto b = static_cast<unsigned char>(text[k]);
        const int index = static_cast<int>(b % (help.Conditions().size() + 1)) - 1;
        switch (b % 3) {
            case 0:
                help.AddAnd(index, "Subject\x81\x81" + std::to_string(k));
                break;
            case 1:
                help.AddOr(index, "Lines\x81\x84" + std::to_string(k));
                break;
            default:
                help.DeleteNode(index);
                break;
        }
        CheckRows(help);
        (void)help.Evaluate(&Sample());
    }
    while (!help.Conditions().empty()) {
        const size_t before = help.Conditions().size();
        help.DeleteNode(0);
        Check(help.Conditions().size() < before);
    }
    return 0;
}
