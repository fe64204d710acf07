// The catalogue data is the executable's resource LOCATIONS (RCDATA), put there by the resource
// script from data/locations.txt.
#include <windows.h>

#include "shell/location_catalogue.h"

namespace corvella {

std::string_view CatalogueBytes() {
  static const std::string_view bytes = [] {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, L"LOCATIONS", MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!info) return std::string_view();
    // Resources of the executable stay mapped for the life of the process; nothing to free.
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::string_view();
    return std::string_view(static_cast<const char*>(data), SizeofResource(module, info));
  }();
  return bytes;
}

}  // namespace corvella
