#include "CVendrolixIEDLL.h"

#include <exdispid.h>

#include <new>
#include <optional>

#include "ModVendrolixIE.h"
#include "convert.h"
#include "decision.h"
#include "settings.h"
#include "text.h"
#include "win32/bstr.h"
#include "win32/browser_windows.h"
#include "win32/file_io.h"
#include "win32/policy_reader.h"

namespace vendrolix::helper {

namespace {

using win32::FromBstr;

constexpr DISPID kDispidOnQuitMethod = 0x60030000;

std::string FullNameOf(IWebBrowser2* browser) {
  BSTR name = nullptr;
  if (FAILED(browser->get_FullName(&name))) return std::string();
  std::string text = FromBstr(name);
  SysFreeString(name);
  return text;
}

std::int32_t ReadHandle(SettingsReader& settings, const char* name, std::int32_t current) {
  ConvertToInt32(settings.Read(name), current);
  return current;
}

// The thread may live on without a browser window; the keys its reads keep
// open need not, whichever way the quit ends.
class ClosesKeptKeys {
 public:
  explicit ClosesKeptKeys(ModVendrolixIE& state) : state_(state) {}
  ~ClosesKeptKeys() {
    for (win32::UniqueHKey& key : state_.settingsKeys) key.reset();
    state_.blockedListKey.reset();
  }
  ClosesKeptKeys(const ClosesKeptKeys&) = delete;
  ClosesKeptKeys& operator=(const ClosesKeptKeys&) = delete;

 private:
  ModVendrolixIE& state_;
};

}  // namespace

CVendrolixIEDLL::CVendrolixIEDLL() = default;
CVendrolixIEDLL::~CVendrolixIEDLL() {
  // Hooks left by an attach without a quit must not reach a state that is gone.
  ModVendrolixIE& state = ThreadState();
  if (state.window == &window_) state.window = nullptr, state.browser = nullptr;
}

HRESULT CVendrolixIEDLL::QueryInterface(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__CVendrolixIEDLL) {
    *ppv = static_cast<_CVendrolixIEDLL*>(this);
  } else if (riid == IID_IObjectWithSite) {
    *ppv = static_cast<IObjectWithSite*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CVendrolixIEDLL::AddRef() noexcept { return ++refs_; }

ULONG CVendrolixIEDLL::Release() noexcept {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT CVendrolixIEDLL::GetTypeInfoCount(UINT* count) noexcept {
  if (count) *count = 0;
  return S_OK;
}

HRESULT CVendrolixIEDLL::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT CVendrolixIEDLL::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] && lstrcmpiW(names[0], L"m_ie_OnQuit") == 0) {
    ids[0] = kDispidOnQuitMethod;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT CVendrolixIEDLL::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                UINT*) noexcept {
  if (id != kDispidOnQuitMethod) return DISP_E_MEMBERNOTFOUND;
  if (result) VariantInit(result);
  return m_ie_OnQuit();
}

HRESULT CVendrolixIEDLL::m_ie_OnQuit() noexcept {
  const SelfReference hold(*this);
  try {
    Quit();
  } catch (...) {
  }
  return S_OK;
}

HRESULT CVendrolixIEDLL::SetSite(IUnknown* site) noexcept {
  const SelfReference hold(*this);
  try {
    if (site) {
      Attach(site);
    } else {
      Disconnect();
      ModVendrolixIE& state = ThreadState();
      if (state.window == &window_) state.browser = nullptr;
      m_ie.Reset();
    }
  } catch (...) {
  }
  return S_OK;
}

HRESULT CVendrolixIEDLL::GetSite(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!m_site) return E_FAIL;
  return m_site->QueryInterface(riid, ppv);
}

void CVendrolixIEDLL::Attach(IUnknown* site) {
  m_site = site;
  Disconnect();
  m_ie.Reset();
  if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&m_ie)))) Connect();

  ModVendrolixIE& state = ThreadState();
  // An earlier attach on this thread left its hooks in place: they go before
  // new ones come, or they would leak and stamp every click twice.
  RemoveHooks(state);
  state.FrameWindow = nullptr;
  state.MouseHook = nullptr;
  state.MessageHook = nullptr;
  state.window = nullptr;
  state.browser = nullptr;
  quit_ = false;
  window_.active = false;
  if (!m_ie || !PassesHostTest(FullNameOf(m_ie.Get()))) return;

  window_.active = true;
  SHANDLE_PTR frame = 0;
  if (SUCCEEDED(m_ie->get_HWND(&frame))) state.FrameWindow = reinterpret_cast<HWND>(frame);
  window_.refreshHandles = true;
  window_.firstNavigation = true;
  window_.letThroughByNewWindow3 = false;
  window_.TrayFormButton = 0;
  window_.TrayBlockButton = 0;
  state.AppPath = win32::ModuleFolder(ThisModule());
  // A tray that runs already, by its published button and its image path,
  // is not started again: a second one would only find it and end.
  SettingsReader settings(state);
  window_.TrayFormButton = ReadHandle(settings, value::hForm, window_.TrayFormButton);
  const HWND form = reinterpret_cast<HWND>(static_cast<std::intptr_t>(window_.TrayFormButton));
  if (!window_.TrayFormButton || !IsTrayButton(form, kFormCloseCaption, state.AppPath)) StartTray(state.AppPath);
  window_.TrayBlockButton = ReadHandle(settings, value::hButton, window_.TrayBlockButton);
  window_.TrayFormButton = ReadHandle(settings, value::hForm, window_.TrayFormButton);

  ConvertToInt16(settings.Read(value::CountIE), window_.countIE);
  // A count that cannot grow stays at its largest value.
  if (window_.countIE < INT16_MAX) ++window_.countIE;
  WriteRegString(value::CountIE, ToDecimalText(window_.countIE));

  state.ThreadId = GetCurrentThreadId();
  state.window = &window_;
  state.browser = m_ie.Get();
  InstallHooks(state);
  state.FrameCursor = GetClassLongPtrA(state.FrameWindow, GCLP_HCURSOR);
  window_.ClickStamp = NowStamp();
  state.dialogs.FrameWindow = reinterpret_cast<std::intptr_t>(state.FrameWindow);
  state.dialogs.DialogList.clear();
  state.dialogs.UserMessageCount = 0;
  state.dialogs.DialogStamp = window_.ClickStamp;
}

void CVendrolixIEDLL::Connect() {
  Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
  if (FAILED(m_ie.As(&container))) return;
  Microsoft::WRL::ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) return;
  DWORD cookie = 0;
  if (FAILED(point->Advise(static_cast<IDispatch*>(&sink_), &cookie))) return;
  eventPoint_ = point;
  eventCookie_ = cookie;
}

void CVendrolixIEDLL::Disconnect() {
  if (eventPoint_) eventPoint_->Unadvise(eventCookie_);
  eventPoint_.Reset();
  eventCookie_ = 0;
}

void CVendrolixIEDLL::Quit() {
  // Once, in an active object. One whose frame window is unknown installed
  // its hooks and raised the count all the same.
  if (!window_.active || quit_) return;
  quit_ = true;
  ModVendrolixIE& state = ThreadState();
  RemoveHooks(state);
  if (state.window == &window_) state.window = nullptr, state.browser = nullptr;
  const ClosesKeptKeys closes(state);
  SettingsReader settings(state);

  // Without a count, this may not be the last window: the tray is not told
  // to end and no cookie is cleaned, and the stored count waits for a quit
  // that can count.
  const std::optional<int> others = OtherBrowserWindows(
      win32::TakeBrowserWindowCensus(), QuittingWindow{win32::RootKey(state.FrameWindow), GetCurrentThreadId()});
  if (!others) return;
  window_.countIE = static_cast<std::int16_t>(*others < INT16_MAX ? *others : INT16_MAX);
  WriteRegString(value::CountIE, ToDecimalText(window_.countIE));
  if (window_.countIE > 0) return;

  window_.TrayFormButton = ReadHandle(settings, value::hForm, window_.TrayFormButton);
  PostTrayClick(window_.TrayFormButton, kFormCloseCaption, state.AppPath);

  // A switch that is missing or cannot be read cleans nothing: every other
  // reading defaults to "1", which here would delete the user's cookies.
  auto autoClean = win32::ReadEnforcedSetting(value::AutoClean);
  if (!autoClean) {
    autoClean = settings.ReadStored(value::AutoClean);
    if (autoClean) autoClean = Trim(*autoClean);
  }
  if (CleaningSwitchOn(autoClean)) CleanIECookies();
}

std::string CVendrolixIEDLL::LocationUrl() {
  HelperEnv env(ThreadState(), m_ie.Get(), &window_);
  return env.LocationUrl();
}

void CVendrolixIEDLL::OnBeforeNavigate2() { helper::OnBeforeNavigate(window_); }

void CVendrolixIEDLL::OnTitleChange() {
  window_.ClickStamp = 0;
  window_.CurrentUrl = LocationUrl();
}

void CVendrolixIEDLL::OnNewWindow2(DISPPARAMS* params) {
  // The browser passes (ppDisp, Cancel) in reverse: rgvarg[0] is Cancel.
  VARIANT_BOOL* cancel = nullptr;
  if (params && params->cArgs >= 2 && params->rgvarg[0].vt == (VT_BYREF | VT_BOOL)) {
    cancel = params->rgvarg[0].pboolVal;
  }
  HelperEnv env(ThreadState(), m_ie.Get(), &window_, cancel);
  OnNewWindow(window_, env);
}

void CVendrolixIEDLL::OnNewWindow3(DISPPARAMS* params) {
  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl) in reverse: rgvarg[3]
  // is Cancel, rgvarg[2] the flags, rgvarg[0] the address. Arguments of
  // another shape decide nothing here; the NewWindow2 after them does.
  window_.letThroughByNewWindow3 = false;
  if (!params || params->cArgs < 5 || params->rgvarg[3].vt != (VT_BYREF | VT_BOOL) || !params->rgvarg[3].pboolVal) {
    return;
  }
  const VARIANT& flags = params->rgvarg[2];
  if (flags.vt != VT_I4 && flags.vt != VT_UI4) return;
  // Converted no further than the list keeps of it.
  const VARIANT& url = params->rgvarg[0];
  const std::string target =
      url.vt == VT_BSTR ? FromBstr(url.bstrVal, static_cast<UINT>(kBlockedAddressLimit)) : std::string();
  HelperEnv env(ThreadState(), m_ie.Get(), &window_, params->rgvarg[3].pboolVal);
  helper::OnNewWindow3(window_, env, static_cast<std::uint32_t>(flags.lVal), target);
}

HRESULT CVendrolixIEDLL::EventSink::QueryInterface(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT CVendrolixIEDLL::EventSink::GetTypeInfoCount(UINT* count) noexcept {
  if (count) *count = 0;
  return S_OK;
}

HRESULT CVendrolixIEDLL::EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                           UINT*) noexcept {
  // The browser may detach and release the object while a handler waits in
  // a call that pumps messages; the object lives until the handler is done.
  const SelfReference hold(owner_);
  // A failed handler leaves the request as the browser made it.
  try {
    switch (id) {
      case DISPID_BEFORENAVIGATE2:
        owner_.OnBeforeNavigate2();
        break;
      case DISPID_TITLECHANGE:
        owner_.OnTitleChange();
        break;
      case DISPID_NEWWINDOW3:
        owner_.OnNewWindow3(params);
        break;
      case DISPID_NEWWINDOW2:
        owner_.OnNewWindow2(params);
        break;
      case DISPID_ONQUIT:
        owner_.Quit();
        break;
      default:
        break;
    }
  } catch (...) {
  }
  return S_OK;
}

}  // namespace vendrolix::helper
