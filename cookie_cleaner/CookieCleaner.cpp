// The cookie cleaner as an in-process COM server: one apartment-threaded
// class, dual interface described by the embedded type library. The browser
// helper creates it on a browser window's thread, the tray on its own; each
// caller makes one call and releases the object at once.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include <wrl/client.h>

#include "CookieCleaner.h"
#include "cleaning.h"
#include "win32/bstr.h"
#include "win32/com_server.h"
#include "win32_machine.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr vendrolix::win32::ServerClass kServer{
    "{CCD21D21-7305-4FED-8714-0436099AF281}", "Vendrolix Cookie Cleaner", "Apartment",
    /*progId=*/"Vendrolix.CookieCleaner", /*versionedProgId=*/"Vendrolix.CookieCleaner.1",
    /*typeLib=*/"{5B0E6C61-2F4D-4C7A-9E3B-7A1D2C9F4E10}"};

// The access code as ANSI bytes; embedded NULs end it, as they would for
// any caller passing a plain string.
std::string CodeText(BSTR* code) {
  if (!code) return std::string();
  const std::string text = vendrolix::win32::FromBstr(*code);
  return text.substr(0, text.find('\0'));
}

ComPtr<ITypeInfo> LoadCleanerTypeInfo() {
  ComPtr<ITypeInfo> info;
  ComPtr<ITypeLib> library;
  if (FAILED(vendrolix::win32::LoadModuleTypeLib(vendrolix::win32::g_serverModule, &library))) return info;
  library->GetTypeInfoOfGuid(IID_ICookieCleaner, &info);
  return info;
}

class CookieCleanerObject final : public vendrolix::win32::RefCounted<ICookieCleaner> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return vendrolix::win32::QueryOne<ICookieCleaner>(this, riid, ppv, {&IID_IDispatch, &IID_ICookieCleaner});
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = TypeInfo() ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* own = TypeInfo();
    if (!own) return E_FAIL;
    own->AddRef();
    *info = own;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* own = TypeInfo();
    if (!own) return E_FAIL;
    return DispGetIDsOfNames(own, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* own = TypeInfo();
    if (!own) return E_FAIL;
    return DispInvoke(static_cast<ICookieCleaner*>(this), own, id, flags, params, result, exception, argError);
  }

  HRESULT STDMETHODCALLTYPE CleanIECookies(BSTR* AccessCode) override {
    return Clean(AccessCode, vendrolix::cleaner::CleanIeCookies);
  }
  HRESULT STDMETHODCALLTYPE CleanNSCookies(BSTR* AccessCode) override {
    return Clean(AccessCode, vendrolix::cleaner::CleanNetscapeCookies);
  }

 private:
  // The caller is a browser window's thread or the tray's: a store of
  // 100,000 cookies can run out of memory, and no exception may reach them.
  static HRESULT Clean(BSTR* code, vendrolix::cleaner::Outcome (*clean)(vendrolix::cleaner::Machine&)) {
    try {
      if (!vendrolix::cleaner::IsAccessCode(CodeText(code))) return E_ACCESSDENIED;
      vendrolix::cleaner::Win32Machine machine(vendrolix::win32::g_serverModule);
      clean(machine);
      return S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  // Loaded on first use only: most callers bind early and never need it.
  ITypeInfo* TypeInfo() {
    if (!typeInfo_) typeInfo_ = LoadCleanerTypeInfo();
    return typeInfo_.Get();
  }

  ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace

VENDROLIX_COM_SERVER(CookieCleanerObject, CLSID_CookieCleaner, kServer)
