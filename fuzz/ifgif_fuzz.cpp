// ifgif.spi's decoder (giflib) on arbitrary bytes: GetPictureInfo, GetPicture and
// GetPreview through the memory input form, linked directly (not loaded); see spi_fuzz.h for
// what is checked.
#include "plugins/spi_entry.h"
#include "spi_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pelorin::fuzz::FuzzPlugin(data, size);
    return 0;
}
