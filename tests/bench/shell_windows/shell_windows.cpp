// Stand-in for the shell's window collection (CLSID_ShellWindows), which
// Wine does not provide: it lists the open top-level "IEFrame" windows of all
// processes, each as a browser whose FullName is the image path of the
// window's process; with VENDROLIX_SHELLWINDOWS_FAIL set in the environment
// it cannot count them (get_Count fails). regsvr32 registers it in the
// registry view of its own bitness in place of whatever the prefix had for
// that class id.
#include <windows.h>
#include <exdisp.h>
#include <olectl.h>
#include <shldisp.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "../common/shell_windows_stub.h"
#include "../common/web_browser_stub.h"
#include "win32/handles.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
const char* const kClsidText = "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}";

BOOL CALLBACK CollectFrame(HWND window, LPARAM lParam) {
  char name[64];
  const int n = GetClassNameA(window, name, sizeof(name));
  if (n > 0 && std::string(name, static_cast<std::size_t>(n)) == "IEFrame") {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
  }
  return TRUE;
}

std::vector<HWND> OpenFrames() {
  std::vector<HWND> frames;
  EnumWindows(CollectFrame, reinterpret_cast<LPARAM>(&frames));
  return frames;
}

std::wstring ImagePathOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  vendrolix::win32::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return std::wstring();
  return std::wstring(path, size);
}

template <class Base>
class RefCounted : public Base {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~RefCounted() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// One listed window, as the collection's callers see it.
class ListedBrowser final : public RefCounted<vendrolix::bench::WebBrowserStub> {
 public:
  explicit ListedBrowser(HWND frame) : frame_(frame), path_(ImagePathOf(frame)) { ++g_objects; }
  ~ListedBrowser() override { --g_objects; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser || riid == IID_IWebBrowserApp ||
        riid == IID_IWebBrowser2) {
      *ppv = static_cast<IWebBrowser2*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_FullName(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = SysAllocString(path_.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* handle) override {
    if (!handle) return E_POINTER;
    *handle = reinterpret_cast<SHANDLE_PTR>(frame_);
    return S_OK;
  }

 private:
  HWND frame_;
  std::wstring path_;
};

class ShellWindows final : public RefCounted<vendrolix::bench::ShellWindowsStub> {
 public:
  ShellWindows() { ++g_objects; }
  ~ShellWindows() override { --g_objects; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IShellWindows) {
      *ppv = static_cast<IShellWindows*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    // A collection the shell cannot serve, when the test asks for one.
    if (GetEnvironmentVariableA("VENDROLIX_SHELLWINDOWS_FAIL", nullptr, 0) != 0) return E_FAIL;
    frames_ = OpenFrames();
    *count = static_cast<LONG>(frames_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4))) return E_INVALIDARG;
    if (frames_.empty()) frames_ = OpenFrames();
    if (number.lVal < 0 || static_cast<std::size_t>(number.lVal) >= frames_.size()) return S_FALSE;
    ListedBrowser* browser = new (std::nothrow) ListedBrowser(frames_[static_cast<std::size_t>(number.lVal)]);
    if (!browser) return E_OUTOFMEMORY;
    *item = static_cast<IWebBrowser2*>(browser);
    return S_OK;
  }

 private:
  std::vector<HWND> frames_;
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
    ShellWindows* windows = new (std::nothrow) ShellWindows();
    if (!windows) return E_OUTOFMEMORY;
    const HRESULT hr = windows->QueryInterface(riid, ppv);
    windows->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

bool SetClassesText(const std::string& subKey, const char* name, const std::string& value) {
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
  if (clsid != CLSID_ShellWindows) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  const std::string key = std::string("CLSID\\") + kClsidText;
  // The prefix's own registration would start a shell process that has no
  // such collection; the in-process stand-in takes its place.
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (key + "\\LocalServer32").c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (key + "\\LocalServer").c_str());
  if (!SetClassesText(key, nullptr, "ShellWindows stand-in") ||
      !SetClassesText(key + "\\InprocServer32", nullptr, std::string(path, n)) ||
      !SetClassesText(key + "\\InprocServer32", "ThreadingModel", "Both")) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText + "\\InprocServer32").c_str());
  return S_OK;
}
