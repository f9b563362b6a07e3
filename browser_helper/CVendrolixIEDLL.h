// The browser helper object: one per browser window, on that window's thread.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "VendrolixIEDLL.h"
#include "decision.h"
#include "win32/com_server.h"

namespace vendrolix::helper {

class CVendrolixIEDLL final : public _CVendrolixIEDLL, public IObjectWithSite, win32::ServerObject {
 public:
  CVendrolixIEDLL();
  ~CVendrolixIEDLL();
  CVendrolixIEDLL(const CVendrolixIEDLL&) = delete;
  CVendrolixIEDLL& operator=(const CVendrolixIEDLL&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  // IDispatch of the class's own interface
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) noexcept override;
  // _CVendrolixIEDLL
  HRESULT STDMETHODCALLTYPE m_ie_OnQuit() noexcept override;
  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) noexcept override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppv) noexcept override;

 private:
  // The DWebBrowserEvents2 sink; its lifetime is the object's.
  class EventSink final : public IDispatch {
   public:
    explicit EventSink(CVendrolixIEDLL& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return owner_.Release(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override;

   private:
    CVendrolixIEDLL& owner_;
  };

  // A counted reference for as long as a call runs in the object.
  class SelfReference {
   public:
    explicit SelfReference(CVendrolixIEDLL& object) : object_(object) { object_.AddRef(); }
    ~SelfReference() { object_.Release(); }
    SelfReference(const SelfReference&) = delete;
    SelfReference& operator=(const SelfReference&) = delete;

   private:
    CVendrolixIEDLL& object_;
  };

  void Attach(IUnknown* site);
  void Connect();
  void Disconnect();
  void Quit();
  void OnBeforeNavigate2();
  void OnTitleChange();
  void OnNewWindow2(DISPPARAMS* params);
  void OnNewWindow3(DISPPARAMS* params);
  std::string LocationUrl();

  std::atomic<ULONG> refs_{1};
  EventSink sink_{*this};
  Microsoft::WRL::ComPtr<IUnknown> m_site;
  Microsoft::WRL::ComPtr<IWebBrowser2> m_ie;
  Microsoft::WRL::ComPtr<IConnectionPoint> eventPoint_;
  DWORD eventCookie_ = 0;
  bool quit_ = false;  // the quit ran since the last attach
  // This window's state; the thread's hooks reach it while this object is
  // the one attached there.
  WindowState window_;
};

}  // namespace vendrolix::helper
