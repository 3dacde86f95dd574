// The three entry points every plug-in here exports with C linkage (picture_plugin.h), and the
// one macro that makes them visible: the plug-ins are built with hidden visibility and a
// linker version script (exports.map), so nothing else leaves the library.
#pragma once

#include "view/picture_plugin.h"

#define SPI_EXPORT extern "C" __attribute__((visibility("default")))

SPI_EXPORT int GetPictureInfo(const char* name, long offset, unsigned flag, SpiPictureInfo* info);
SPI_EXPORT int GetPicture(const char* name,
                          long offset,
                          unsigned flag,
                          void** info,
                          void** bits,
                          SpiProgress progress,
                          long data);
SPI_EXPORT int GetPreview(const char* name,
                          long offset,
                          unsigned flag,
                          void** info,
                          void** bits,
                          SpiProgress progress,
                          long data);
