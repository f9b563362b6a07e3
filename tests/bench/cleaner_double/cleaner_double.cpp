// Test double of the cookie cleaner: every call appends one line
//   <method> <access code>\r\n
// to the file named by the environment variable VENDROLIX_CLEANER_LOG
// (C:\vendrolix-cleaner.log when unset); methods are CleanIECookies and
// CleanNSCookies. regsvr32 registers it under the cleaner's class id in the
// registry view of its own bitness.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <string>

#include "CookieCleaner.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

const char* const kClsidText = "{CCD21D21-7305-4FED-8714-0436099AF281}";

void Record(const char* method, BSTR* code) {
  std::string text;
  if (code && *code) {
    const int n = WideCharToMultiByte(CP_ACP, 0, *code, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
      text.resize(static_cast<std::size_t>(n));
      WideCharToMultiByte(CP_ACP, 0, *code, -1, &text[0], n, nullptr, nullptr);
      text.resize(static_cast<std::size_t>(n - 1));
    }
  }
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", path, MAX_PATH);
  const std::string logPath = (n > 0 && n < MAX_PATH) ? std::string(path, n) : "C:\\vendrolix-cleaner.log";
  vendrolix::win32::UniqueFile file(CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = std::string(method) + " " + text + "\r\n";
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

class CleanerDouble final : public ICookieCleaner {
 public:
  CleanerDouble() { ++g_objects; }
  ~CleanerDouble() { --g_objects; }

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
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CleanIECookies(BSTR* AccessCode) override {
    Record("CleanIECookies", AccessCode);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CleanNSCookies(BSTR* AccessCode) override {
    Record("CleanNSCookies", AccessCode);
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
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
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CleanerDouble* object = new (std::nothrow) CleanerDouble();
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

bool SetKeyText(const std::string& subKey, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  vendrolix::win32::UniqueHKey owner(key);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
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
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  const std::string key = std::string("CLSID\\") + kClsidText;
  if (!SetKeyText(key, nullptr, "CookieCleaner test double") ||
      !SetKeyText(key + "\\InprocServer32", nullptr, std::string(path, n)) ||
      !SetKeyText(key + "\\InprocServer32", "ThreadingModel", "Apartment")) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str());
  return S_OK;
}
