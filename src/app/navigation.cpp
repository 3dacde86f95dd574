// Navigation targets over the shape of the area tree (see navigation.h).
#include "app/navigation.h"

namespace pelorin {

namespace {

bool Valid(const TreeShape& shape, const TreePos& p) {
    if (p.packet < 0 || p.packet >= static_cast<int>(shape.size()))
        return false;
    return p.area < shape[static_cast<size_t>(p.packet)];
}

int AreasOf(const TreeShape& shape, int packet) {
    return shape[static_cast<size_t>(packet)];
}

}  // namespace

std::optional<TreePos> NextAreaWithMarkPos(const TreeShape& shape,
                                           std::optional<TreePos> selected,
                                           const HasMark& hasMark) {
    if (shape.empty())
        return std::nullopt;
    if (!selected || !Valid(shape, *selected))
        return TreePos{0, -1};
    const int packet = selected->packet;
    for (int area = selected->area + 1; area < AreasOf(shape, packet); ++area) {
        if (hasMark(packet, area))
            return TreePos{packet, area};
    }
    return std::nullopt;
}

std::optional<TreePos> NextAreaPos(const TreeShape& shape, std::optional<TreePos> selected) {
    if (shape.empty())
        return std::nullopt;
    if (!selected || !Valid(shape, *selected))
        return TreePos{0, -1};
    const TreePos p = *selected;
    if (p.IsPacket())
        return AreasOf(shape, p.packet) > 0 ? std::optional(TreePos{p.packet, 0}) : std::nullopt;
    if (p.area + 1 < AreasOf(shape, p.packet))
        return TreePos{p.packet, p.area + 1};
    if (p.packet + 1 < static_cast<int>(shape.size()))
        return TreePos{p.packet + 1, -1};
    return std::nullopt;
}

std::optional<TreePos> PrevAreaPos(const TreeShape& shape, std::optional<TreePos> selected) {
    if (shape.empty())
        return std::nullopt;
    if (!selected || !Valid(shape, *selected)) {
        const int last = static_cast<int>(shape.size()) - 1;
        return TreePos{last, AreasOf(shape, last) - 1};
    }
    const TreePos p = *selected;
    if (p.IsPacket()) {
        if (p.packet == 0)
            return std::nullopt;
        const int areas = AreasOf(shape, p.packet - 1);
        return TreePos{p.packet - 1, areas > 0 ? areas - 1 : -1};
    }
    if (p.area > 0)
        return TreePos{p.packet, p.area - 1};
    if (p.packet > 0)
        return TreePos{p.packet - 1, -1};
    return std::nullopt;
}

int FindMarkedRow(int count, int from, char mark, const std::function<char(int)>& markAt) {
    for (int row = from < 0 ? 0 : from; row < count; ++row) {
        if (markAt(row) == mark)
            return row;
    }
    return -1;
}

}  // namespace pelorin
