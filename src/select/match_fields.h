// TMatchFields: what each field name and operator of a condition leaf means for a message
// (the handler the sub-command dialog gives TMatchHelp as OnMatching), without any window.
//
// Field names (ASCII letters compared without regard to case, except "本文"):
//   subject, from, message-id, references   the record's field; string test
//   マーク                                  the one-character mark; the value "＿" stands for
//                                          a blank, "＋" "－" "＊" for "+" "-" "*" (escaped
//                                          in regular-expression mode); string test
//   date                                    date test
//   lines, サイズ                           the line count / the size in bytes, compared as
//                                          integers with the value read as an integer (text
//                                          that is no number counts as 0)
//   本文                                    the message text without its header: lines joined
//                                          with CR LF, header words decoded, JIS converted,
//                                          everything up to the first empty line dropped
//   anything else                           that header field of the message (raw; empty when
//                                          absent); string test
//
// String test of a value v against the condition text t: in regular-expression mode t is a
// pattern for the handler's own engine (line separator CR LF, fuzzy dictionary when the fuzzy
// option is on) and found means it matches anywhere in v (the one-pass existence test); else
// found means t occurs in v (ASCII case ignored with the fuzzy option; never half a
// double-byte character; an empty t is never found). ＝ answers found, every other operator
// not found: ＝ is "contains", ≠ "does not contain".
//
// Date test: the first eight characters of the message's sort key date against the condition
// date: "ExpireDate" (the expiry date of the running sub-command), "Today-N" (today minus N
// days) or "year/month/day"; whole days, all six operators.
//
// Any error (a pattern that does not compile, a date or number that cannot be read, a message
// whose file is missing, a target that is not a message) makes the answer false.
#pragma once

#include "select/awkstr.h"
#include "select/match_help.h"
#include "store/message_reader.h"

#include <any>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelorin {

class TMsg;

class TMatchFields {
public:
    TMatchFields();

    // The dialog's check boxes "正規表現" (UseRegEx) and "あいまい検索" (stored inverted as
    // CaseSensetive); read at every test.
    bool UseRegEx = true;
    bool Fuzzy = true;
    // The expiry date of the running sub-command, for "ExpireDate"; unset: such leaves are
    // false.
    std::optional<std::chrono::year_month_day> ExpireDate;
    // Today's date; the local calendar day by default (tests replace it).
    std::function<std::chrono::year_month_day()> Today;

    // OnMatching handler: Target holds a TMsg*.
    void MatchMatching(const std::any& Target,
                       const std::string& Header,
                       TJkCondition Cond,
                       const std::string& Text,
                       bool& ret);
    // Makes this the OnMatching handler of `help` (which must not outlive this object).
    void Attach(TMatchHelp& help);

    // One leaf for one message; exceptions propagate (MatchMatching turns them into false).
    bool Test(TMsg& msg, std::string_view header, TJkCondition cond, std::string_view text);

    // The text of a message that "本文" tests (see above). With a reader, the message file
    // stays open for the next message (one reader for one pass over an area).
    static std::string BodyText(TMsg& msg);
    static std::string BodyText(TMsg& msg, MessageReader& reader);
    // Whether `needle` occurs in `haystack` starting and ending on character boundaries.
    static bool ContainsText(std::string_view haystack, std::string_view needle);

    TAWKStr& RegChk() { return reg_chk_; }

private:
    bool StringTest(std::string_view value, std::string_view cond_text, TJkCondition cond);
    bool DateTest(TMsg& msg, std::string_view cond_text, TJkCondition cond);

    TAWKStr reg_chk_;
    MessageReader reader_;  // the last message file read, kept open for the next message
};

}  // namespace pelorin
