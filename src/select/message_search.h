// Searching a list of messages: the work behind "grep" (a pattern over subjects and bodies)
// and "match" (a condition list), for any caller that holds an area's records.
//
// Bodies are read the way the "本文" condition reads them (TMatchFields::BodyText): header
// words decoded, JIS converted, header dropped, lines joined with CR LF. A message whose text
// cannot be read matches by its subject only.
#pragma once

#include "select/match_fields.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class TMsg;

// Indices of the messages whose subject or body matches `pattern` (a regular expression,
// widened by the fuzzy-character dictionary when `fuzzy`). A bad pattern raises
// ERegExpParser before any message is read.
std::vector<size_t> GrepMessages(const std::vector<TMsg*>& messages,
                                 std::string_view pattern,
                                 bool fuzzy);

// Indices of the messages for which the condition list holds, with `fields` (its options and
// dates) answering the leaves.
std::vector<size_t> MatchMessages(const std::vector<TMsg*>& messages,
                                  const std::vector<std::string>& conditions,
                                  TMatchFields& fields);

// The lines of a condition file: one condition line per line, as SUBCMD.INI stores them
// (leading spaces kept); CR LF, LF or CR line ends; no line for a final line end.
std::vector<std::string> ConditionLines(std::string_view text);

}  // namespace pelorin
