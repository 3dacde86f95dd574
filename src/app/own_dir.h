// The program's own directory: where the settings file and the program's other files (sub-
// commands, address book, signature ...) live, and what stands in for the program's own folder
// in every default path. It is $PELORIN_HOME when that is set and not empty, else
// ~/.config/pelorin; both forms end with "/".
#pragma once

#include <QString>

#include <string>

namespace pelorin {

QString OwnDirectory();
// The same as Shift_JIS text, the form the core's paths take.
std::string OwnDirectorySjis();
// Creates the directory (and its parents) when missing; false when that failed.
bool MakeOwnDirectory();
// <own directory>/pelorin.INI as Shift_JIS text.
std::string SettingsFilePath();

}  // namespace pelorin
