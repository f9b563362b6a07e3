// Test double of the cookie cleaner: every call appends one line
//   <method> <access code>\r\n
// to the file named by the environment variable VENDROLIX_CLEANER_LOG
// (C:\vendrolix-cleaner.log when unset); methods are CleanIECookies and
// CleanNSCookies. regsvr32 registers it under the cleaner's class id in the
// registry view of its own bitness.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <string>

#include "CookieCleaner.h"
#include "win32/bstr.h"
#include "win32/com_server.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace {

HMODULE g_module = nullptr;

constexpr vendrolix::win32::ServerClass kServer{"{CCD21D21-7305-4FED-8714-0436099AF281}",
                                                "CookieCleaner test double", "Apartment"};

void Record(const char* method, BSTR* code) {
  std::string text = code ? vendrolix::win32::FromBstr(*code) : std::string();
  text = text.substr(0, text.find('\0'));
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

class CleanerDouble final : public vendrolix::win32::RefCounted<ICookieCleaner> {
 public:
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
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return vendrolix::win32::GetClassObject<CleanerDouble>(CLSID_CookieCleaner, clsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return vendrolix::win32::ServerIdle() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return vendrolix::win32::RegisterServer(g_module, kServer); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return vendrolix::win32::UnregisterServer(g_module, kServer);
}
