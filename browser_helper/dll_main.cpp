// The DLL's entry points: class factory, unload test and self-registration.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <oleauto.h>

#include <new>
#include <string>

#include "CVendrolixIEDLL.h"
#include "ModVendrolixIE.h"
#include "win32/handles.h"

namespace vendrolix::helper {
namespace {

std::atomic<long> g_locks{0};

constexpr const char* kClsidText = "{A94EDD52-85B3-472F-8BC0-D651D760FBF8}";
constexpr const char* kLibidText = "{37D27E0A-E4BA-478F-A4DA-275FFE975E29}";
constexpr const char* kProgId = "VendrolixIEDLL.CVendrolixIEDLL";

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; it lives as long as the DLL.
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    CVendrolixIEDLL* object = new (std::nothrow) CVendrolixIEDLL();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

ClassFactory g_factory;

bool SetClassesText(const std::string& subKey, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  win32::UniqueHKey owner(key);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool ModulePath(std::string& path) {
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(ThisModule(), buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  path.assign(buffer, n);
  return true;
}

// A plain buffer: std::wstring would link the runtime's whole wide-string
// instantiation into a DLL that every browser window loads.
bool ModulePathWide(wchar_t (&path)[MAX_PATH]) {
  const DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  return n != 0 && n < MAX_PATH;
}

constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace
}  // namespace vendrolix::helper

using namespace vendrolix::helper;

// The statically linked C++ runtime's release of what it keeps for the
// whole run (its reserve for exceptions thrown when memory runs out). A
// browser unloads and reloads the DLL as windows close and open: without
// this, every unload would leave that reserve behind in the browser.
namespace __gnu_cxx {
void __freeres() noexcept;
}  // namespace __gnu_cxx

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      SetThisModule(instance);
      return InitThreadStates() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
      ReleaseThreadState();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit everything goes with the process. An unload happens
      // only once no object or hook is left, so nothing of the DLL runs any
      // more on any thread.
      if (!reserved) {
        FreeThreadStates();
        __gnu_cxx::__freeres();
      }
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_CVendrolixIEDLL) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return (LiveObjects() == 0 && g_locks == 0 && InstalledHooks() == 0) ? S_OK : S_FALSE;
}

namespace {

HRESULT RegisterServer() {
  std::string path;
  wchar_t widePath[MAX_PATH];
  if (!ModulePath(path) || !ModulePathWide(widePath)) return SELFREG_E_CLASS;
  const std::string clsidKey = std::string("CLSID\\") + kClsidText;
  const bool classOk = SetClassesText(clsidKey, nullptr, kProgId) &&
                       SetClassesText(clsidKey + "\\InprocServer32", nullptr, path) &&
                       SetClassesText(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment") &&
                       SetClassesText(clsidKey + "\\ProgID", nullptr, kProgId) &&
                       SetClassesText(clsidKey + "\\TypeLib", nullptr, kLibidText) &&
                       SetClassesText(clsidKey + "\\VERSION", nullptr, "5.0") &&
                       SetClassesText(kProgId, nullptr, kProgId) &&
                       SetClassesText(std::string(kProgId) + "\\Clsid", nullptr, kClsidText);
  if (!classOk) return SELFREG_E_CLASS;

  ITypeLib* raw = nullptr;
  if (FAILED(LoadTypeLibEx(widePath, REGKIND_NONE, &raw)) || !raw) return SELFREG_E_TYPELIB;
  Microsoft::WRL::ComPtr<ITypeLib> library;
  library.Attach(raw);
  if (FAILED(RegisterTypeLib(library.Get(), widePath, nullptr))) return SELFREG_E_TYPELIB;
  return S_OK;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    return RegisterServer();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  UnRegisterTypeLib(LIBID_VendrolixIEDLL, 5, 0, LOCALE_NEUTRAL, kSysKind);
  try {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}
