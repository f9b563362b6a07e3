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

#include <new>
#include <string>
#include <vector>

#include "../common/shell_windows_stub.h"
#include "../common/web_browser_stub.h"
#include "win32/com_server.h"
#include "win32/handles.h"

namespace {

constexpr vendrolix::win32::ServerClass kServer{"{9BA05972-F6A8-11CF-A442-00A0C90A8F39}", "ShellWindows stand-in",
                                                "Both", nullptr, nullptr, nullptr, nullptr,
                                                /*replacesSystemClass=*/true};

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

// One listed window, as the collection's callers see it.
class ListedBrowser final : public vendrolix::win32::RefCounted<vendrolix::bench::WebBrowserStub> {
 public:
  explicit ListedBrowser(HWND frame) : frame_(frame), path_(ImagePathOf(frame)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return vendrolix::win32::QueryOne<IWebBrowser2>(
        this, riid, ppv, {&IID_IDispatch, &IID_IWebBrowser, &IID_IWebBrowserApp, &IID_IWebBrowser2});
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

class WindowCollection final : public vendrolix::win32::RefCounted<vendrolix::bench::ShellWindowsStub> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return vendrolix::win32::QueryOne<IShellWindows>(this, riid, ppv, {&IID_IDispatch, &IID_IShellWindows});
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

}  // namespace

VENDROLIX_COM_SERVER(WindowCollection, CLSID_ShellWindows, kServer)
