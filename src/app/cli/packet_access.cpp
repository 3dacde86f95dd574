#include "packet_access.h"

#include "command.h"

#include "coding/cp932.h"
#include "store/packet_files.h"
#include "store/strutil.h"

namespace pelorin::cli {

std::unique_ptr<TSoup> OpenPacket(const std::string& packet) {
    // Paths arrive from the terminal as UTF-8; the core keeps them as Shift_JIS text.
    std::string dir = cp932::FromUtf8(packet);
    if (EqualNoCase(NamePart(dir), "AREAS"))
        dir = std::string(DirPart(dir));
    if (!PacketFileExists(WithTrailingSlash(dir) + "AREAS"))
        throw UsageError{"no AREAS file in " + packet};
    auto soup = std::make_unique<TSoup>(dir);
    soup->LoadAreas();
    return soup;
}

OpenedArea OpenArea(const std::string& packet, const std::string& area, int sortType) {
    OpenedArea opened;
    opened.soup = OpenPacket(packet);
    const std::string name = cp932::FromUtf8(area);
    opened.area = opened.soup->FindArea(name);
    int32_t number = 0;
    if (!opened.area && ParseInt32(name, number))
        opened.area = opened.soup->AreaAt(number - 1);
    if (!opened.area)
        throw UsageError{"no area \"" + area + "\" in " + packet};
    opened.storedSort = opened.area->sortType;
    opened.area->SetSortType(sortType);
    opened.area->Prepare();
    return opened;
}

TMsg& MessageNumber(const OpenedArea& opened, const std::string& n) {
    int32_t pos = 0;
    if (!ParseInt32(n, pos) || !opened.area->MessageAt(pos - 1))
        throw UsageError{"no message " + n + " in this area (1 to " +
                         std::to_string(opened.area->display.size()) + ")"};
    return *opened.area->MessageAt(pos - 1);
}

}  // namespace pelorin::cli
