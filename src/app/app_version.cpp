// The version text (see app_version.h).
#include "app/app_version.h"

#ifndef PELORIN_VERSION
#define PELORIN_VERSION ""
#endif

namespace pelorin {

std::string VersionText(std::string_view fileVersion) {
    if (fileVersion.empty())
        return "Version: Error";
    return "Version " + std::string(fileVersion);
}

std::string BuildVersionText() {
    return VersionText(PELORIN_VERSION);
}

}  // namespace pelorin
