// The version text of the window caption and the about box. The build stamps the project's
// version into the program (PELORIN_VERSION); a build without it shows "Version: Error", as a
// program without a version resource would.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// "Version " + the file version; "Version: Error" when there is none.
std::string VersionText(std::string_view fileVersion);
// The version text of this build.
std::string BuildVersionText();

}  // namespace pelorin
