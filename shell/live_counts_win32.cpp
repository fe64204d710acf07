#include "shell/live_counts_win32.h"

#include <psapi.h>

#include "common/live_counts.h"

namespace corvella {
namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<long*>(count);
  return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<long*>(count);
  EnumChildWindows(window, &CountChild, count);
  return TRUE;
}

long ThreadWindows() {
  long count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

long WorkingSetKib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

// Wine reports no private bytes, so they are added up from the address space: every
// committed region that belongs to this process alone.
long PrivateKib() {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION info{};
  const char* at = nullptr;
  while (VirtualQuery(at, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return static_cast<long>(total / 1024);
}

}  // namespace

UINT LiveCountMessage() {
  static const UINT message = RegisterWindowMessageW(kLiveCountMessageName);
  return message;
}

LRESULT AnswerLiveCount(WPARAM what) {
  if (what >= static_cast<WPARAM>(Counted::kCount)) return -1;
  const auto kind = static_cast<Counted>(what);
  switch (kind) {
    case Counted::Windows:
      return ThreadWindows();
    case Counted::WorkingSetKib:
      return WorkingSetKib();
    case Counted::PrivateKib:
      return PrivateKib();
    default:
      return LiveCount(kind).load(std::memory_order_relaxed);
  }
}

}  // namespace corvella
