// A window's client area described to a screen reader. The documented way, IAccPropServices'
// SetHwndPropStr with PROPID_ACC_DESCRIPTION, is a stub in Wine 8; answering WM_GETOBJECT with
// the system's own object for the client area, wrapped to add the description, works on both.
#pragma once

#include <windows.h>

#include <string>

namespace corvella {

// The answer to WM_GETOBJECT for OBJID_CLIENT: the standard client object of `window` with
// `description` (the client itself, CHILDID_SELF) and everything else as the system says. 0 (let
// DefWindowProcW answer) for other objects, or when oleacc or COM cannot be had. oleacc and
// oleaut32 are loaded on the first such question, which comes only from a screen reader.
LRESULT AnswerClientObject(HWND window, WPARAM wp, LPARAM lp, const std::wstring& description);

// Tells a screen reader that the client's description has changed.
void DescriptionChanged(HWND window);

}  // namespace corvella
