// Waiting on the GUI thread without going deaf: a wait that also ends when a window
// message arrives for this thread, so the caller can pump at once.
#pragma once

#include <windows.h>

namespace corvella {

enum class WaitEnd { Signalled, Message, Elapsed };

// Waits up to timeoutMs for `object` (may be null: only messages and time) or for a window
// message that arrived after this thread last looked at its queue. Messages already seen
// but left in the queue do not end the wait, so a caller that does not pump never spins.
WaitEnd WaitForObjectOrMessage(HANDLE object, int timeoutMs);

}  // namespace corvella
