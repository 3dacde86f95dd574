// Opening a packet and one of its areas for a command of the companion. The packet is opened
// read-mostly: the commands never change marks, so closing it writes only GRPSTAT.PBS keys.
#pragma once

#include "store/soup.h"

#include <memory>
#include <string>
#include <utility>

namespace pelorin::cli {

// The packet stays open while this lives. Closing it keeps the area's stored sort type: a
// listing in another order does not change how the program shows the area.
struct OpenedArea {
    OpenedArea() = default;
    OpenedArea(OpenedArea&& other) noexcept
        : soup(std::move(other.soup))
        , area(std::exchange(other.area, nullptr))
        , storedSort(other.storedSort) {}
    OpenedArea& operator=(OpenedArea&&) = delete;
    ~OpenedArea() {
        if (area) {
            area->sortType = storedSort;
            area->LeaveMessagesForExit();  // the command ends with the program
        }
    }

    std::unique_ptr<TSoup> soup;
    TGrp* area = nullptr;
    int storedSort = 0;  // the area's sort type before the command changed it
};

// Opens PACKET_DIR (a directory, or its AREAS file) and prepares the area named `area` (by area
// name, or by its 1-based number in the area list) sorted by `sortType`. Throws UsageError when
// the packet has no such area.
OpenedArea OpenArea(const std::string& packet, const std::string& area, int sortType);

// Opens a packet without loading an area.
std::unique_ptr<TSoup> OpenPacket(const std::string& packet);

// The message at 1-based position `n` of the area's display list; throws UsageError when out
// of range.
TMsg& MessageNumber(const OpenedArea& opened, const std::string& n);

}  // namespace pelorin::cli
