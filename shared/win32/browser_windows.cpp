#include "win32/browser_windows.h"

#include <exdisp.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <string>
#include <string_view>
#include <utility>

#include "text.h"
#include "win32/bstr.h"
#include "win32/handles.h"

namespace vendrolix::win32 {

namespace {

// Longer than any of the class names looked for, so a longer name never
// passes for one of them cut short.
constexpr int kClassBuffer = 64;

std::string ClassOf(HWND window) {
  char name[kClassBuffer];
  const int n = GetClassNameA(window, name, kClassBuffer);
  return n > 0 ? std::string(name, static_cast<std::size_t>(n)) : std::string();
}

std::optional<std::vector<WindowKey>> ListedBrowsers() {
  const ScopedCoInit com;
  Microsoft::WRL::ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&windows))) || !windows) {
    return std::nullopt;
  }
  long count = 0;
  if (FAILED(windows->get_Count(&count))) return std::nullopt;
  std::vector<WindowKey> listed;
  for (long i = 0; i < count; ++i) {
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    Microsoft::WRL::ComPtr<IDispatch> item;
    if (FAILED(windows->Item(index, &item)) || !item) continue;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser;
    if (FAILED(item.As(&browser))) continue;
    BSTR name = nullptr;
    if (FAILED(browser->get_FullName(&name))) continue;
    const bool passes = PassesHostTest(FromBstr(name));
    SysFreeString(name);
    if (!passes) continue;
    SHANDLE_PTR frame = 0;
    if (FAILED(browser->get_HWND(&frame))) frame = 0;
    listed.push_back(RootKey(reinterpret_cast<HWND>(frame)));
  }
  return listed;
}

class Walk {
 public:
  explicit Walk(BrowserWindowCensus& census) : census_(census) {}

  bool Run() { return EnumWindows(&Walk::TopLevel, reinterpret_cast<LPARAM>(this)) && !failed_; }

 private:
  // An exception must not unwind through the system's enumeration: it ends
  // the walk, which then counts as not taken.
  static BOOL CALLBACK TopLevel(HWND window, LPARAM self) {
    auto& walk = *reinterpret_cast<Walk*>(self);
    try {
      const std::string name = ClassOf(window);
      if (name == kIeFrameClass) walk.census_.frames.push_back(reinterpret_cast<WindowKey>(window));
      // The page of an HTML dialog belongs to the browser window that
      // opened it, which its own pages already show.
      if (name == kHtmlDialogClass) return TRUE;
      walk.root_ = reinterpret_cast<WindowKey>(window);
      EnumChildWindows(window, &Walk::Child, self);
      return !walk.failed_;
    } catch (...) {
      walk.failed_ = true;
      return FALSE;
    }
  }

  static BOOL CALLBACK Child(HWND window, LPARAM self) {
    auto& walk = *reinterpret_cast<Walk*>(self);
    try {
      if (ClassOf(window) != kPageWindowClass) return TRUE;
      DWORD processId = 0;
      const DWORD thread = GetWindowThreadProcessId(window, &processId);
      if (thread && walk.IsBrowserProcess(processId)) walk.census_.pages.push_back({walk.root_, thread});
      return TRUE;
    } catch (...) {
      walk.failed_ = true;
      return FALSE;
    }
  }

  // Other programs host the same page window (the help viewer, mail): only
  // the browser's own program counts. Asked with the least access there is,
  // which a browser at low integrity still has toward other processes.
  bool IsBrowserProcess(DWORD processId) {
    for (const auto& known : programs_) {
      if (known.first == processId) return known.second;
    }
    bool browser = false;
    const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (process) {
      char path[1024];
      DWORD size = sizeof path;
      browser = QueryFullProcessImageNameA(process.get(), 0, path, &size) &&
                ImageNameIs(std::string_view(path, size), kBrowserProgram);
    }
    programs_.emplace_back(processId, browser);
    return browser;
  }

  BrowserWindowCensus& census_;
  WindowKey root_ = 0;
  bool failed_ = false;
  std::vector<std::pair<DWORD, bool>> programs_;
};

}  // namespace

WindowKey RootKey(HWND window) {
  const HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  return reinterpret_cast<WindowKey>(root ? root : window);
}

BrowserWindowCensus TakeBrowserWindowCensus() noexcept {
  BrowserWindowCensus census;
  try {
    census.listed = ListedBrowsers();
  } catch (...) {
    census.listed.reset();
  }
  try {
    census.walked = Walk(census).Run();
  } catch (...) {
    census.walked = false;
  }
  return census;
}

}  // namespace vendrolix::win32
