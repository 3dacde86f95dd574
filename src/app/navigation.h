// Where the navigation commands of the main window go, computed over plain positions so that
// the rules can be checked without widgets.
//
// The area tree is described by the number of areas under each packet node, in tree order; a
// position is a packet index and an area index (-1 for the packet node itself).
//
//   NextAreaWithMark  from an area node: its following siblings; from a packet node: its areas
//                     from the first; the first area whose messages include the mark. The walk
//                     never leaves the packet. With no node selected: the first node.
//   NextArea          first node / a packet's first area / the next sibling, after the last
//                     area the next packet node; at the very end the selection stays.
//   PrevArea          last node / the last area of the previous packet / the previous sibling,
//                     before the first area the previous packet node;
//                     at the very beginning the selection stays.
//   FindMarkedRow     the first row from `from` on whose message has the mark.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace pelorin {

struct TreePos {
    int packet = -1;
    int area = -1;  // -1: the packet node
    bool IsPacket() const { return area < 0; }
    bool operator==(const TreePos&) const = default;
};

// Areas per packet node, in tree order.
using TreeShape = std::vector<int>;
// Whether the area at (packet, area) holds a message with the mark searched for.
using HasMark = std::function<bool(int packet, int area)>;

std::optional<TreePos> NextAreaWithMarkPos(const TreeShape& shape,
                                           std::optional<TreePos> selected,
                                           const HasMark& hasMark);
// The node to select; nullopt when the selection stays as it is.
std::optional<TreePos> NextAreaPos(const TreeShape& shape, std::optional<TreePos> selected);
std::optional<TreePos> PrevAreaPos(const TreeShape& shape, std::optional<TreePos> selected);

// The first row in from..count-1 whose mark (markAt) equals `mark`; -1 when there is none.
int FindMarkedRow(int count, int from, char mark, const std::function<char(int)>& markAt);

}  // namespace pelorin
