// Settings helpers over an INI file (TIniF): texts, numbers and Y/N flags read with a default
// that is written back when the key is missing, so that the settings file lists every key the
// program looked at after the first run; fonts as eight keys; string lists as numbered keys.
//
//   ReadText    missing key (or one holding exactly the sentinel "XxYyZz") -> default,
//               written back
//   ReadNumber  missing key, or one that is no number -> default, written back (a key holding
//               -2147483648, the sentinel, counts as missing)
//   ReadFlag    "Y" -> true, "N" or "YN" -> false; anything else (missing, empty, "y" ...)
//               -> default, written back as "Y" or "N"
//   ReadFont    prefix + Name, Size, Color, CharSet (missing keys keep the font's current
//               value), StyleBold, StyleItalic, StyleUnderline, StyleStrikeout ("Y" sets the
//               style, anything else clears it); nothing is written back
//   ReadList    values of the keys named prefix + number (prefix matched case-sensitively),
//               ordered by the number (see ReadList below)
//   WriteList   removes the keys that begin with the prefix and writes prefix + 0, 1, ...;
//               the other keys of the section keep their order
//
// Write failures are not reported by these helpers: the value read or written is still in
// effect for the running program (see TIniF), and the caller can ask ini.LastResult().
#pragma once

#include "store/font.h"
#include "store/inifile.h"
#include "store/strutil.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

std::string ReadText(TIniF& ini,
                     std::string_view section,
                     std::string_view key,
                     std::string_view def);
int32_t ReadNumber(TIniF& ini, std::string_view section, std::string_view key, int32_t def);
bool ReadFlag(TIniF& ini, std::string_view section, std::string_view key, bool def);
void WriteFlag(TIniF& ini, std::string_view section, std::string_view key, bool value);

void ReadFont(TIniF& ini, std::string_view section, std::string_view prefix, TFont& font);
void WriteFont(TIniF& ini, std::string_view section, std::string_view prefix, const TFont& font);

// Clears `lines` and appends the values of the section's keys whose names begin with `prefix`
// (case-sensitive), in ascending order of the number after the prefix (read with ToInteger,
// so a rest that is no number counts as 0; equal numbers keep the case-insensitive order of
// the key names): prefix10 comes after prefix9.
void ReadList(TIniF& ini, std::string_view section, std::string_view prefix, TSList& lines);
// Replaces the list in one file write: the keys beginning with `prefix` go, the others stay in
// their order, and the lines follow as prefix + 0, prefix + 1, ...
void WriteList(TIniF& ini, std::string_view section, std::string_view prefix, const TSList& lines);

}  // namespace pelorin
