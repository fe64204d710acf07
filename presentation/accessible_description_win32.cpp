#include "presentation/accessible_description_win32.h"

#include <oleacc.h>

#include <atomic>
#include <utility>

#include "common/com_win32.h"
#include "common/system_function_win32.h"

namespace corvella {
namespace {

// IID_IAccessible: {618736E0-3C3D-11CF-810C-00AA00389B71}.
constexpr GUID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct AccessibilityLibrary {
  using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using LresultFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  using AllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
  CreateStdFn createStd = nullptr;
  LresultFn lresultFromObject = nullptr;
  AllocStringFn allocString = nullptr;

  // Loaded once and kept: objects handed out may live as long as the screen reader holds them.
  static const AccessibilityLibrary& Get() {
    static const AccessibilityLibrary library = [] {
      AccessibilityLibrary l;
      HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
      HMODULE oleaut = LoadSystemLibrary(L"oleaut32.dll");
      l.createStd = SystemFunction<CreateStdFn>(oleacc, "CreateStdAccessibleObject");
      l.lresultFromObject = SystemFunction<LresultFn>(oleacc, "LresultFromObject");
      l.allocString = SystemFunction<AllocStringFn>(oleaut, "SysAllocString");
      return l;
    }();
    return library;
  }
  bool Loaded() const { return createStd != nullptr && lresultFromObject != nullptr && allocString != nullptr; }
};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The system's object for the client area, with our description of the client itself.
class DescribedClient final : public IAccessible {
 public:
  DescribedClient(IAccessible* standard, std::wstring description, AccessibilityLibrary::AllocStringFn alloc)
      : standard_(standard), description_(std::move(description)), alloc_(alloc) {}

  // IUnknown: one identity; the standard object's other interfaces are not offered.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, kIidAccessible))
      return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      standard_->Release();
      delete this;
    }
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override {
    return standard_->Invoke(id, iid, locale, flags, params, result, exception, badArgument);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (!IsSelf(child)) return standard_->get_accDescription(child, description);
    if (description == nullptr) return E_INVALIDARG;
    *description = alloc_(description_.c_str());
    return *description != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override { return standard_->get_accName(child, name); }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override { return standard_->get_accRole(child, role); }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return standard_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return standard_->get_accSelection(children); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return standard_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { return standard_->accHitTest(x, y, child); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return standard_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return standard_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~DescribedClient() = default;

  IAccessible* standard_;
  std::wstring description_;
  AccessibilityLibrary::AllocStringFn alloc_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

LRESULT AnswerClientObject(HWND window, WPARAM wp, LPARAM lp, const std::wstring& description) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT) return 0;
  // LresultFromObject hands the object over through COM.
  if (!com::Start()) return 0;
  const AccessibilityLibrary& library = AccessibilityLibrary::Get();
  if (!library.Loaded()) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(library.createStd(window, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&standard))) ||
      standard == nullptr)
    return 0;
  auto* client = new DescribedClient(standard, description, library.allocString);
  // The result holds its own reference; ours goes (a failure, a negative result, leaves none).
  const LRESULT result = library.lresultFromObject(kIidAccessible, wp, static_cast<IAccessible*>(client));
  client->Release();
  return result > 0 ? result : 0;
}

void DescriptionChanged(HWND window) {
  NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace corvella
