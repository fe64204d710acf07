// Outside Windows the catalogue data is assembled into the program's read-only data, straight
// from data/locations.txt (CORVELLA_LOCATIONS_FILE, set by the build).
#include "shell/location_catalogue.h"

#ifndef CORVELLA_LOCATIONS_FILE
#error "CORVELLA_LOCATIONS_FILE must name data/locations.txt"
#endif

asm(".pushsection .rodata\n"
    ".balign 16\n"
    ".globl corvella_locations_begin\n"
    ".hidden corvella_locations_begin\n"
    "corvella_locations_begin:\n"
    ".incbin \"" CORVELLA_LOCATIONS_FILE
    "\"\n"
    ".globl corvella_locations_end\n"
    ".hidden corvella_locations_end\n"
    "corvella_locations_end:\n"
    ".popsection\n");

extern "C" const char corvella_locations_begin[];
extern "C" const char corvella_locations_end[];

namespace corvella {

std::string_view CatalogueBytes() {
  return std::string_view(corvella_locations_begin,
                          static_cast<std::size_t>(corvella_locations_end - corvella_locations_begin));
}

// Here the rows are found by reading: the program that needs to start small is the Windows one.
std::string_view CatalogueRowStarts() { return {}; }

}  // namespace corvella
