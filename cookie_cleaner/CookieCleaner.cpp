// The cookie cleaner as an in-process COM server: one apartment-threaded
// class, dual interface described by the embedded type library. The browser
// helper creates it on a browser window's thread, the tray on its own; each
// caller makes one call and releases the object at once.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include <wrl/client.h>

#include "CookieCleaner.h"
#include "cleaning.h"
#include "win32/handles.h"
#include "win32_machine.h"

using Microsoft::WRL::ComPtr;

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

const char* const kClsidText = "{CCD21D21-7305-4FED-8714-0436099AF281}";
const char* const kProgId = "Vendrolix.CookieCleaner";
const char* const kVersionedProgId = "Vendrolix.CookieCleaner.1";
const char* const kClassName = "Vendrolix Cookie Cleaner";

std::string ModulePath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  return std::string(path, n);
}

// The access code as ANSI bytes; embedded NULs end it, as they would for
// any caller passing a plain string.
std::string CodeText(BSTR* code) {
  if (!code || !*code) return std::string();
  const int wide = static_cast<int>(SysStringLen(*code));
  if (wide == 0) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, *code, wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, *code, wide, &text[0], n, nullptr, nullptr);
  return text.substr(0, text.find('\0'));
}

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
  return wide;
}

ComPtr<ITypeInfo> LoadCleanerTypeInfo() {
  ComPtr<ITypeInfo> info;
  const std::string path = ModulePath();
  if (path.empty()) return info;
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(Widen(path).c_str(), REGKIND_NONE, &library))) return info;
  library->GetTypeInfoOfGuid(IID_ICookieCleaner, &info);
  return info;
}

class CookieCleanerObject final : public ICookieCleaner {
 public:
  CookieCleanerObject() { ++g_objects; }
  ~CookieCleanerObject() { --g_objects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ICookieCleaner) {
      *ppv = static_cast<ICookieCleaner*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
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
    if (!vendrolix::cleaner::IsAccessCode(CodeText(AccessCode))) return E_ACCESSDENIED;
    vendrolix::cleaner::Win32Machine machine(g_module);
    vendrolix::cleaner::CleanIeCookies(machine);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CleanNSCookies(BSTR* AccessCode) override {
    if (!vendrolix::cleaner::IsAccessCode(CodeText(AccessCode))) return E_ACCESSDENIED;
    vendrolix::cleaner::Win32Machine machine(g_module);
    vendrolix::cleaner::CleanNetscapeCookies(machine);
    return S_OK;
  }

 private:
  // Loaded on first use only: most callers bind early and never need it.
  ITypeInfo* TypeInfo() {
    if (!typeInfo_) typeInfo_ = LoadCleanerTypeInfo();
    return typeInfo_.Get();
  }

  std::atomic<ULONG> refs_{1};
  ComPtr<ITypeInfo> typeInfo_;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static and lives as long as the module.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CookieCleanerObject* object = new (std::nothrow) CookieCleanerObject();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

bool SetClassText(const std::string& subKey, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  vendrolix::win32::UniqueHKey owner(key);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

void RemoveClassKeys() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kVersionedProgId);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_CookieCleaner) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return (g_objects == 0 && g_locks == 0) ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  const std::string path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  const std::string clsid = std::string("CLSID\\") + kClsidText;
  const bool classOk = SetClassText(clsid, nullptr, kClassName) &&
                       SetClassText(clsid + "\\InprocServer32", nullptr, path) &&
                       SetClassText(clsid + "\\InprocServer32", "ThreadingModel", "Apartment") &&
                       SetClassText(clsid + "\\ProgID", nullptr, kVersionedProgId) &&
                       SetClassText(clsid + "\\VersionIndependentProgID", nullptr, kProgId) &&
                       SetClassText(clsid + "\\TypeLib", nullptr, "{5B0E6C61-2F4D-4C7A-9E3B-7A1D2C9F4E10}") &&
                       SetClassText(kProgId, nullptr, kClassName) &&
                       SetClassText(std::string(kProgId) + "\\CLSID", nullptr, kClsidText) &&
                       SetClassText(std::string(kProgId) + "\\CurVer", nullptr, kVersionedProgId) &&
                       SetClassText(kVersionedProgId, nullptr, kClassName) &&
                       SetClassText(std::string(kVersionedProgId) + "\\CLSID", nullptr, kClsidText);
  if (!classOk) {
    RemoveClassKeys();
    return SELFREG_E_CLASS;
  }
  // The type library lets script callers reach the methods by name and lets
  // the interface be marshalled by the standard automation marshaler.
  ComPtr<ITypeLib> library;
  std::wstring widePath = Widen(path);
  if (FAILED(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &library)) ||
      FAILED(RegisterTypeLib(library.Get(), &widePath[0], nullptr))) {
    RemoveClassKeys();
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RemoveClassKeys();
  ComPtr<ITypeLib> library;
  const std::wstring widePath = Widen(ModulePath());
  if (SUCCEEDED(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &library))) {
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes) {
      UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                        attributes->syskind);
      library->ReleaseTLibAttr(attributes);
    }
  }
  return S_OK;
}
