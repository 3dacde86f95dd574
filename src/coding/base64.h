// Base64 and quoted-printable content decoding, shared by header words and message bodies.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// Decodes base64 text of any length. Characters outside the alphabet ("=" and white space
// included) are skipped, so decoding goes on across padding in the middle of the text. Two or
// three values left at the end give one or two bytes; a single leftover value gives nothing.
std::string Base64Decode(std::string_view text);
// The same, appended to `out`.
void Base64DecodeAppend(std::string& out, std::string_view text);

// The base64 character of 0-63; any other value gives "=".
char Base64Char(int v);

// How many bytes fit in a budget of k base64 characters: 3*(k/4), plus 1 if k%4 == 2,
// plus 2 if k%4 == 3. A budget below zero holds nothing.
int Base64BytesFor(int k);

// Encodes bytes as base64 with "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);

// Decodes one quoted-printable line: "=" and two upper-case hex digits give that byte; any
// other "=" is kept as it is. "_" stays "_", lower-case hex is not decoded, a "=" at the end
// of the line stays (callers join soft line breaks themselves).
std::string QPDecode(std::string_view line);

}  // namespace pelorin
