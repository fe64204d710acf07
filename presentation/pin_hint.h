// Windows 11 puts a new icon in the notification area's overflow until the user pins it, and a
// temperature nobody sees is no use: on a first run the first balloon says how to keep it on the
// taskbar. Portable: which program an entry of the shell's list is, and the balloon's text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvella {

// "Перетащите значок на панель задач, чтобы температура всегда была видна." (Windows-1251)
std::string_view PinHint();

// `text` (a balloon's lines, split by '\r') with the hint after it; when both do not fit in a
// balloon, the text's last lines give way, never the hint.
std::string WithPinHint(std::string_view text);

// The folder of a known folder's GUID ("{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}"), if known.
using KnownFolderLookup = std::function<std::optional<std::wstring>(std::wstring_view guid)>;

// Whether `recorded`, a program's path as the shell records it (a known folder may stand as its
// GUID at the start), names the program at `own`. Paths compare without regard to the case of
// Latin letters, as the file system does; other letters come from the system on both sides.
bool SameProgram(std::wstring_view recorded, std::wstring_view own, const KnownFolderLookup& folder);

}  // namespace corvella
