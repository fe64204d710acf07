// The kind of a notice the program shows beside its tray icon. The values are the shell's
// balloon icon flags (NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR) and are passed as they are.
#pragma once

namespace corvella {

enum class NoticeKind { None = 0, Info = 1, Warning = 2, Error = 3 };

}  // namespace corvella
