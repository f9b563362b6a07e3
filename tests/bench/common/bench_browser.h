// The bench's browser object: what a browser window hands its helper objects
// (IWebBrowser2 and its event connection), shared by the browser stand-in
// and the tests that drive a helper object in their own process.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "web_browser_stub.h"

namespace vendrolix::bench {

inline std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

inline std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// The browser object of one window, as its helpers see it: FullName (the
// hosting program's path: this program's, unless given), HWND (the frame;
// hwndResult makes it fail), LocationURL, and the DWebBrowserEvents2
// connection the helpers listen to. Every call a helper does not answer
// S_OK goes to onFailure.
class BenchBrowser final : public WebBrowserStub, public IConnectionPointContainer, public IConnectionPoint {
 public:
  explicit BenchBrowser(HWND frame, std::wstring fullName = std::wstring()) : frame_(frame), fullName_(fullName) {}

  std::function<void(HRESULT, const std::string&)> onFailure;
  HRESULT hwndResult = S_OK;
  // The browser keeps each listener referenced while it calls it; a browser
  // that does not must not lose its helpers mid-call either.
  bool holdSinksWhileFiring = true;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser || riid == IID_IWebBrowserApp ||
        riid == IID_IWebBrowser2) {
      *ppv = static_cast<IWebBrowser2*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // What the helper reads of the browser.
  HRESULT STDMETHODCALLTYPE get_FullName(BSTR* name) override {
    if (!name) return E_POINTER;
    if (!fullName_.empty()) {
      *name = SysAllocString(fullName_.c_str());
      return S_OK;
    }
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    *name = SysAllocStringLen(path, n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* handle) override {
    if (!handle) return E_POINTER;
    if (FAILED(hwndResult)) return hwndResult;
    *handle = reinterpret_cast<SHANDLE_PTR>(frame_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override {
    if (!url) return E_POINTER;
    *url = SysAllocString(location_.c_str());
    return S_OK;
  }

  // IConnectionPointContainer: DWebBrowserEvents2 only.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }

  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_PPV_ARGS(&dispatch)))) return CONNECT_E_CANNOTCONNECT;
    *cookie = ++lastCookie_;
    sinks_[*cookie] = dispatch;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  void SetLocation(const std::string& url) { location_ = Wide(url); }
  std::size_t SinkCount() const { return sinks_.size(); }

  // Arguments in the browser's order; rgvarg holds them last to first.
  void Fire(DISPID id, std::vector<VARIANT> argsInOrder) {
    std::vector<VARIANT> reversed(argsInOrder.rbegin(), argsInOrder.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    std::vector<IDispatch*> targets;
    for (const auto& entry : sinks_) {
      targets.push_back(entry.second.Get());
      if (holdSinksWhileFiring) targets.back()->AddRef();
    }
    for (IDispatch* target : targets) {
      const HRESULT hr =
          target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
      if (hr != S_OK && onFailure) onFailure(hr, "Invoke " + std::to_string(id));
      if (holdSinksWhileFiring) target->Release();
    }
  }

  void FireBeforeNavigate2(const std::string& url) {
    Microsoft::WRL::ComPtr<IDispatch> self(static_cast<IWebBrowser2*>(this));
    VARIANT urlValue, flags, frameName, postData, headers;
    VariantInit(&urlValue);
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = SysAllocString(Wide(url).c_str());
    VariantInit(&flags);
    flags.vt = VT_I4;
    VariantInit(&frameName);
    VariantInit(&postData);
    VariantInit(&headers);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<VARIANT> args(7);
    args[0].vt = VT_DISPATCH;
    args[0].pdispVal = self.Get();
    args[1].vt = VT_VARIANT | VT_BYREF;
    args[1].pvarVal = &urlValue;
    args[2].vt = VT_VARIANT | VT_BYREF;
    args[2].pvarVal = &flags;
    args[3].vt = VT_VARIANT | VT_BYREF;
    args[3].pvarVal = &frameName;
    args[4].vt = VT_VARIANT | VT_BYREF;
    args[4].pvarVal = &postData;
    args[5].vt = VT_VARIANT | VT_BYREF;
    args[5].pvarVal = &headers;
    args[6].vt = VT_BOOL | VT_BYREF;
    args[6].pboolVal = &cancel;
    Fire(DISPID_BEFORENAVIGATE2, args);
    VariantClear(&urlValue);
  }

  void FireTitleChange(const std::string& text) {
    std::vector<VARIANT> args(1);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(Wide(text).c_str());
    Fire(DISPID_TITLECHANGE, args);
    SysFreeString(args[0].bstrVal);
  }

  bool FireNewWindow2() {
    IDispatch* newBrowser = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<VARIANT> args(2);
    args[0].vt = VT_DISPATCH | VT_BYREF;
    args[0].ppdispVal = &newBrowser;
    args[1].vt = VT_BOOL | VT_BYREF;
    args[1].pboolVal = &cancel;
    Fire(DISPID_NEWWINDOW2, args);
    if (newBrowser) newBrowser->Release();
    return cancel != VARIANT_FALSE;
  }

  // What the browser raises before NewWindow2; true when cancelled.
  bool FireNewWindow3(std::uint32_t flags, const std::string& url, const std::string& context) {
    IDispatch* newBrowser = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    std::vector<VARIANT> args(5);
    args[0].vt = VT_DISPATCH | VT_BYREF;
    args[0].ppdispVal = &newBrowser;
    args[1].vt = VT_BOOL | VT_BYREF;
    args[1].pboolVal = &cancel;
    args[2].vt = VT_I4;
    args[2].lVal = static_cast<LONG>(flags);
    args[3].vt = VT_BSTR;
    args[3].bstrVal = SysAllocString(Wide(context).c_str());
    args[4].vt = VT_BSTR;
    args[4].bstrVal = SysAllocString(Wide(url).c_str());
    Fire(DISPID_NEWWINDOW3, args);
    SysFreeString(args[3].bstrVal);
    SysFreeString(args[4].bstrVal);
    if (newBrowser) newBrowser->Release();
    return cancel != VARIANT_FALSE;
  }

  // As the browser asks for a new window: NewWindow3, then NewWindow2 unless
  // NewWindow3 was cancelled. The event that cancelled: 0 for none.
  DISPID FireNewWindow(std::uint32_t flags, const std::string& url) {
    if (FireNewWindow3(flags, url, Narrow(location_))) return DISPID_NEWWINDOW3;
    return FireNewWindow2() ? DISPID_NEWWINDOW2 : 0;
  }

  void FireOnQuit() { Fire(DISPID_ONQUIT, {}); }

  // Navigate2 in a new window asks for it as a page's request does, with no
  // flag of a user's; the windows that opened, by address.
  std::vector<std::string> openedWindows;
  HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT* flags, VARIANT*, VARIANT*, VARIANT*) override {
    if (!url || url->vt != VT_BSTR) return E_INVALIDARG;
    const std::string address = Narrow(std::wstring(url->bstrVal, SysStringLen(url->bstrVal)));
    if (!flags || flags->vt != VT_I4 || !(flags->lVal & navOpenInNewWindow)) {
      location_ = Wide(address);
      return S_OK;
    }
    if (FireNewWindow(0, address) == 0) openedWindows.push_back(address);
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  HWND frame_;
  std::wstring fullName_;
  std::wstring location_;
  std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
  DWORD lastCookie_ = 0;
};

}  // namespace vendrolix::bench
