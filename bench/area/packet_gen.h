// A packet generator for benchmarks: a SOUP packet directory with one newsgroup area of N
// messages in rnews framing (ISO-2022-JP subjects and bodies, reply threads, cross-posts), and
// optionally its index, so that loading, sorting and threading can be measured on areas of the
// size heavy readers keep.
#pragma once

#include <string>

namespace pelorin::bench {

struct GeneratedArea {
    std::string directory;  // the packet directory (with AREAS)
    std::string pathBase;   // directory + prefix of the area
    long long msgBytes = 0;
};

// Writes the packet into `directory` (created when missing). With `withIndex`, also writes an
// index of layout "c" and declares the area "uc"; otherwise "un". Same seed, same packet.
GeneratedArea GenerateArea(const std::string& directory,
                           int messages,
                           bool withIndex,
                           unsigned seed = 1);

}  // namespace pelorin::bench
