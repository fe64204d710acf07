#include "presentation/icon_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace corvella {
namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;

std::uint32_t Read(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return value;
}

struct DirectoryEntry {
  int size;
  std::size_t offset;
  std::size_t length;
};

std::vector<DirectoryEntry> Directory(std::string_view file) {
  std::vector<DirectoryEntry> entries;
  if (file.size() < kDirectorySize || Read(file, 0, 2) != 0 || Read(file, 2, 2) != 1) return entries;
  const std::size_t count = Read(file, 4, 2);
  if (count > (file.size() - kDirectorySize) / kEntrySize) return entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kDirectorySize + i * kEntrySize;
    const int width = static_cast<int>(Read(file, at, 1));
    const std::size_t length = Read(file, at + 8, 4);
    const std::size_t offset = Read(file, at + 12, 4);
    if (offset > file.size() || length > file.size() - offset) return {};
    entries.push_back({width == 0 ? 256 : width, offset, length});
  }
  return entries;
}

std::optional<TrayBitmap> DecodeBitmap(std::string_view image, int size) {
  if (image.size() < kBitmapHeaderSize || Read(image, 0, 4) != kBitmapHeaderSize) return std::nullopt;
  const auto width = static_cast<std::int32_t>(Read(image, 4, 4));
  const auto height = static_cast<std::int32_t>(Read(image, 8, 4));
  if (width != size || height != 2 * size || Read(image, 14, 2) != 32 || Read(image, 16, 4) != 0) {
    return std::nullopt;
  }
  const auto side = static_cast<std::size_t>(size);
  const std::size_t colourBytes = side * side * 4;
  const std::size_t maskRow = (side + 31) / 32 * 4;
  if (image.size() - kBitmapHeaderSize < colourBytes) return std::nullopt;
  const bool maskPresent = image.size() - kBitmapHeaderSize - colourBytes >= maskRow * side;

  TrayBitmap out(size, 0);
  bool anyAlpha = false;
  for (int y = 0; y < size; ++y) {
    // Rows are stored from the bottom.
    const std::size_t row = kBitmapHeaderSize + (side - 1 - static_cast<std::size_t>(y)) * side * 4;
    for (int x = 0; x < size; ++x) {
      const std::uint32_t bgra = Read(image, row + static_cast<std::size_t>(x) * 4, 4);
      out.at(x, y) = bgra;  // little-endian BGRA is 0xAARRGGBB
      anyAlpha |= Alpha(bgra) != 0;
    }
  }
  if (!anyAlpha) {
    for (int y = 0; y < size; ++y) {
      const std::size_t row =
          kBitmapHeaderSize + colourBytes + (side - 1 - static_cast<std::size_t>(y)) * maskRow;
      for (int x = 0; x < size; ++x) {
        const bool transparent =
            maskPresent && (Read(image, row + static_cast<std::size_t>(x) / 8, 1) & (0x80u >> (x % 8))) != 0;
        if (!transparent) out.at(x, y) |= 0xFF000000;
      }
    }
  }
  return out;
}

}  // namespace

std::vector<int> IconFileSizes(std::string_view file) {
  std::vector<int> sizes;
  for (const DirectoryEntry& e : Directory(file)) sizes.push_back(e.size);
  return sizes;
}

int NearestCommonIconSize(const std::vector<std::string_view>& files, int size) {
  if (files.empty()) return 0;
  std::vector<int> common = IconFileSizes(files.front());
  for (std::string_view file : files) {
    const std::vector<int> sizes = IconFileSizes(file);
    std::erase_if(common, [&](int s) { return std::find(sizes.begin(), sizes.end(), s) == sizes.end(); });
  }
  int larger = 0, largest = 0;
  for (int s : common) {
    if (s == size) return s;
    if (s > size && (larger == 0 || s < larger)) larger = s;
    largest = std::max(largest, s);
  }
  return larger != 0 ? larger : largest;
}

std::optional<TrayBitmap> IconFileImage(std::string_view file, int size) {
  for (const DirectoryEntry& e : Directory(file)) {
    if (e.size != size) continue;
    if (auto image = DecodeBitmap(file.substr(e.offset, e.length), size)) return image;
  }
  return std::nullopt;
}

}  // namespace corvella
