// The catalogue data is the executable's resource LOCATIONS (RCDATA), put there by the resource
// script from data/locations.txt, and LOCATION_ROWS the table of its row starts made from it.
#include <windows.h>

#include "shell/location_catalogue.h"

namespace corvella {

namespace {

// An RCDATA resource of the executable. Resources stay mapped for the life of the process: nothing
// to free.
std::string_view Resource(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) return std::string_view();
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::string_view();
  return std::string_view(static_cast<const char*>(data), SizeofResource(module, info));
}

}  // namespace

std::string_view CatalogueBytes() {
  static const std::string_view bytes = Resource(L"LOCATIONS");
  return bytes;
}

std::string_view CatalogueRowStarts() {
  static const std::string_view table = Resource(L"LOCATION_ROWS");
  return table;
}

}  // namespace corvella
