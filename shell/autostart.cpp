#include "shell/autostart.h"

#include "common/error.h"
#include "shell/settings_store.h"

namespace corvella {

std::string MemoryAutostartEntry::Read() { return runKeyPresent ? data.value_or("") : ""; }

void MemoryAutostartEntry::Write(std::string_view value) {
  if (!runKeyPresent) throw Error(FillMessage(kFailedToSetDataError, kAutostartValueName));
  data = std::string(value);
  ++writeCount;
}

}  // namespace corvella
