#include "accessible.h"

#include <oleacc.h>

#include <atomic>
#include <new>

namespace vendrolix::manager {
namespace {

// The interface's id from its declaration: the import library's
// IID_IAccessible is a data import of oleacc.dll, which a static build
// reads as the address of its thunk.
const IID& kIidAccessible = __uuidof(IAccessible);

// The system's object of the control with our answers laid over it. It
// keeps the window handle only: a client may hold it after the window has
// gone, and then every answer is the system object's own failure.
class AnnotatedAccessible final : public IAccessible {
 public:
  AnnotatedAccessible(HWND window, IAccessible* system, const AccessibleExtras& extras)
      : window_(window), system_(system), extras_(extras) {
    system_->AddRef();
  }
  AnnotatedAccessible(const AnnotatedAccessible&) = delete;
  AnnotatedAccessible& operator=(const AnnotatedAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The system object's other faces (its children's enumeration, its
    // window) answer for themselves.
    return system_->QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return system_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return system_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return system_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override {
    return system_->Invoke(id, riid, lcid, flags, params, result, exception, argError);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    if (extras_.role && IsSelf(child)) {
      VariantInit(role);
      role->vt = VT_I4;
      role->lVal = extras_.role;
      return S_OK;
    }
    return system_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    const HRESULT system = system_->get_accState(child, state);
    if (!extras_.state || child.vt != VT_I4 || !IsWindow(window_)) return system;
    long bits = SUCCEEDED(system) && state->vt == VT_I4 ? state->lVal : 0;
    if (!extras_.state(window_, child.lVal, &bits)) return system;
    VariantClear(state);
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return system_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return system_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return system_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override { return system_->get_accName(child, name); }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return system_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return system_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return system_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return system_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return system_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return system_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return system_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return system_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return system_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return system_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return system_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~AnnotatedAccessible() { system_->Release(); }
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

  std::atomic<ULONG> references_{1};
  HWND window_;
  IAccessible* system_;
  AccessibleExtras extras_;
};

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const AccessibleExtras& extras) {
  // The object id arrives as a 32-bit value, however wide lParam is.
  if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  IAccessible* system = nullptr;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&system))) ||
      !system)
    return 0;
  auto* annotated = new (std::nothrow) AnnotatedAccessible(window, system, extras);
  system->Release();
  if (!annotated) return 0;
  const LRESULT answer = LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(annotated));
  annotated->Release();
  return answer > 0 ? answer : 0;
}

}  // namespace vendrolix::manager
