// The running program answers what it holds, for the long-run check: a message registered
// under kLiveCountMessageName, sent to the main window with the index of a Counted kind in
// wParam, is answered with that count (-1 for an index out of range). Cheap enough to
// answer at any time; nothing is counted until asked, beyond the wrappers' own counts.
#pragma once

#include <windows.h>

namespace corvella {

inline constexpr wchar_t kLiveCountMessageName[] = L"CorvellaLiveCount";

// The registered message number (the same in every process).
UINT LiveCountMessage();
// The count for `what`, on the GUI thread.
LRESULT AnswerLiveCount(WPARAM what);

}  // namespace corvella
