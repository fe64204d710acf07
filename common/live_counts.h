// Live counts of what the program holds, for the long-run check: the handle wrappers count
// their kinds as they take and give back handles (one relaxed atomic add each), and a
// running program answers with these and a few counts of its own (see the shell's
// live_counts_win32.h). Wine counts none of these objects itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

namespace corvella {

enum class Counted : int {
  // Kept by the handle wrappers.
  Icons,
  Menus,
  GdiObjects,
  MemoryDcs,
  RegistryKeys,
  KernelHandles,
  Sockets,
  // Counted by the running program when asked.
  Windows,        // windows of the GUI thread, children included
  WorkingSetKib,  // the process's working set
  PrivateKib,     // committed private memory (heaps, stacks, bitmaps' bits)
  kCount
};

inline constexpr std::size_t kWrapperKinds = static_cast<std::size_t>(Counted::Windows);

inline constexpr std::string_view kCountedNames[] = {
    "icons", "menus", "gdi_objects", "memory_dcs", "registry_keys", "kernel_handles", "sockets",
    "windows", "working_set_kib", "private_kib"};
static_assert(std::size(kCountedNames) == static_cast<std::size_t>(Counted::kCount));

// The live count of a wrapper kind.
inline std::atomic<long>& LiveCount(Counted kind) {
  static std::atomic<long> counts[kWrapperKinds] = {};
  return counts[static_cast<std::size_t>(kind)];
}

}  // namespace corvella
