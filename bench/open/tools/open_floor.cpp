// open_floor rnews FILE | index FILE: the floor of opening an area (floor.h), as a program the
// timing script runs next to the companion. Prints what it found, so nothing is optimised away.
#include "../floor.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: open_floor rnews|index FILE\n");
        return 2;
    }
    pelorin::bench::Mapped file(argv[2]);
    size_t parts = 0;
    const size_t n = std::strcmp(argv[1], "index") == 0
                         ? pelorin::bench::FloorIndex(file.Bytes(), parts)
                         : pelorin::bench::FloorRnews(file.Bytes(), parts);
    std::printf("%zu %zu\n", n, parts);
    return 0;
}
