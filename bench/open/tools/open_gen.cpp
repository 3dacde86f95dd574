// open_gen DIR [MESSAGES]: writes the two areas the timing script opens, DIR/un (rnews) and
// DIR/uc (rnews with an index of layout "c"), with the benchmarks' packet generator.
#include "../../area/packet_gen.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_gen DIR [MESSAGES]\n");
        return 2;
    }
    const int messages = argc > 2 ? std::atoi(argv[2]) : 100000;
    const std::string dir = argv[1];
    pelorin::bench::GenerateArea(dir + "/un", messages, false);
    pelorin::bench::GenerateArea(dir + "/uc", messages, true);
    return 0;
}
