// COM for the window thread, loaded when it is first needed (the online check and the widget's
// picture, at the first refresh pass) instead of at start: ole32 and what it brings (combase,
// rpcrt4) are then not part of the start-up. Once started, COM stays started on that thread until
// the process ends.
#pragma once

#include <objbase.h>

namespace corvella::com {

// Loads ole32 and starts COM, apartment-threaded, on the calling thread the first time; later
// calls do nothing. Only the window thread calls it. False when ole32 can't be had: the calls
// below then fail with E_FAIL.
bool Start();

// CoCreateInstance through the loaded ole32 (it is loaded here if Start has not run; COM must
// be started on the calling thread, or the creation fails as Windows fails it).
HRESULT CreateInstance(REFCLSID clsid, DWORD context, REFIID iid, void** object);
// CreateStreamOnHGlobal through the loaded ole32.
HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream);

}  // namespace corvella::com
