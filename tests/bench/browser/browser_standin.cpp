// Browser stand-in: a program that hosts browser helper objects the way the
// browser does, driven by a scenario (a file named on the command line, or
// standard input), one command a line, one result line per command:
//
//   open W                 new browser window W on its own thread; loads the
//                          helpers listed under Browser Helper Objects
//                          -> "open W helpers N"
//   navigate W URL         address becomes URL, BeforeNavigate2 fired
//   location W URL         address becomes URL, no event
//   title W TEXT           TitleChange fired
//   newwindow W            NewWindow2 fired -> "newwindow W opened|cancelled"
//   close W                OnQuit fired, helpers released, window destroyed
//   ctrl down|up           the Ctrl key pressed or released (real input)
//   sleep MS               waits
//   set NAME VALUE         settings value written (unset NAME removes it)
//   reg NAME               -> "reg NAME VALUE" or "reg NAME missing"
//   echo TEXT              -> TEXT
//   # ...                  comment, no output
//
// Built as iexplore.exe (hosts that pass the helper's host test) and as
// explorer.exe (hosts that do not). Windows still open at the end are closed.
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <iostream>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../common/web_browser_stub.h"
#include "settings.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr UINT kRunOnWindowThread = WM_APP + 1;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// The browser object of one window, as its helpers see it.
class Browser final : public vendrolix::bench::WebBrowserStub,
                      public IConnectionPointContainer,
                      public IConnectionPoint {
 public:
  explicit Browser(HWND frame) : frame_(frame) {}

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
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    *name = SysAllocStringLen(path, n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* handle) override {
    if (!handle) return E_POINTER;
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
    ComPtr<IDispatch> dispatch;
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
    std::vector<ComPtr<IDispatch>> targets;
    for (const auto& entry : sinks_) targets.push_back(entry.second);
    for (const auto& target : targets) {
      target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
  }

  void FireBeforeNavigate2(const std::string& url) {
    ComPtr<IDispatch> self(static_cast<IWebBrowser2*>(this));
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

  void FireOnQuit() { Fire(DISPID_ONQUIT, {}); }

 private:
  std::atomic<ULONG> refs_{1};
  HWND frame_;
  std::wstring location_;
  std::map<DWORD, ComPtr<IDispatch>> sinks_;
  DWORD lastCookie_ = 0;
};

// Helpers listed for the browser, in the registry view of this program.
std::vector<ComPtr<IObjectWithSite>> LoadHelpers(IUnknown* site) {
  std::vector<ComPtr<IObjectWithSite>> helpers;
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, vendrolix::kBrowserHelperObjectsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
    return helpers;
  }
  vendrolix::win32::UniqueHKey key(raw);
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(raw, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    CLSID clsid;
    if (FAILED(CLSIDFromString(Wide(std::string(name, length)).c_str(), &clsid))) continue;
    ComPtr<IObjectWithSite> helper;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&helper)))) continue;
    helper->SetSite(site);
    helpers.push_back(helper);
  }
  return helpers;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunOnWindowThread:
      (*reinterpret_cast<std::function<void()>*>(lParam))();
      return 0;
    case WM_CLOSE:
      return 0;  // windows close by the scenario only
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSA frame{};
  frame.lpfnWndProc = FrameProc;
  frame.hInstance = instance;
  frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  frame.lpszClassName = "IEFrame";
  RegisterClassA(&frame);
  WNDCLASSA page{};
  page.lpfnWndProc = PlainProc;
  page.hInstance = instance;
  page.hCursor = LoadCursor(nullptr, IDC_ARROW);
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  page.lpszClassName = "Internet Explorer_Server";
  RegisterClassA(&page);
  WNDCLASSA plugin = page;
  plugin.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  plugin.lpszClassName = "BenchPluginWindow";
  RegisterClassA(&plugin);
}

// One browser window and the thread it lives on.
class BrowserWindow {
 public:
  explicit BrowserWindow(std::string name) : name_(std::move(name)) {}
  ~BrowserWindow() = default;

  bool Open() {
    ready_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.reset(CreateThread(nullptr, 0, &BrowserWindow::ThreadMain, this, 0, nullptr));
    if (!thread_) return false;
    HANDLE waits[2] = {ready_.get(), thread_.get()};
    WaitForMultipleObjects(2, waits, FALSE, 60000);
    return frame_ != nullptr;
  }

  // Runs work on the window's own thread and waits for it.
  void Run(std::function<void()> work) {
    if (frame_) SendMessageA(frame_, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&work));
  }

  void Close() {
    Run([this] {
      browser_->FireOnQuit();
      for (auto& helper : helpers_) helper->SetSite(nullptr);
      helpers_.clear();
      DestroyWindow(frame_);
    });
    WaitForSingleObject(thread_.get(), 60000);
    frame_ = nullptr;
  }

  HWND frame() const { return frame_; }
  std::size_t helperCount() const { return helperCount_; }
  Browser* browser() { return browser_.Get(); }

 private:
  static DWORD WINAPI ThreadMain(void* self) {
    static_cast<BrowserWindow*>(self)->Main();
    return 0;
  }

  void Main() {
    vendrolix::win32::ScopedCoInit com;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND frame = CreateWindowExA(0, "IEFrame", (name_ + " - Bench Browser").c_str(),
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, 640, 480, nullptr, nullptr, instance,
                                 nullptr);
    if (!frame) {
      SetEvent(ready_.get());
      return;
    }
    HWND rebar = CreateWindowExA(0, REBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 640, 30, frame, nullptr,
                                 instance, nullptr);
    CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 300, 28,
                    rebar ? rebar : frame, nullptr, instance, nullptr);
    CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "about:blank", WS_CHILD | WS_VISIBLE, 0, 32, 600, 22, frame, nullptr,
                    instance, nullptr);
    HWND page = CreateWindowExA(0, "Internet Explorer_Server", "", WS_CHILD | WS_VISIBLE, 0, 56, 620, 340, frame,
                                nullptr, instance, nullptr);
    CreateWindowExA(0, "BenchPluginWindow", "", WS_CHILD | WS_VISIBLE, 400, 200, 160, 100, page, nullptr, instance,
                    nullptr);
    CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame, nullptr, instance, nullptr);
    ShowWindow(frame, SW_SHOWNOACTIVATE);

    browser_.Attach(new Browser(frame));
    helpers_ = LoadHelpers(static_cast<IWebBrowser2*>(browser_.Get()));
    helperCount_ = helpers_.size();
    frame_ = frame;
    SetEvent(ready_.get());

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    helpers_.clear();
    browser_.Reset();
  }

  std::string name_;
  vendrolix::win32::UniqueKernelHandle ready_;
  vendrolix::win32::UniqueKernelHandle thread_;
  std::atomic<HWND> frame_{nullptr};
  ComPtr<Browser> browser_;
  std::vector<ComPtr<IObjectWithSite>> helpers_;
  std::size_t helperCount_ = 0;
};

void SendCtrl(bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = VK_CONTROL;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
}

class Scenario {
 public:
  void Execute(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in >> std::ws, rest);
    std::string name, argument;
    {
      std::istringstream parts(rest);
      parts >> name;
      std::getline(parts >> std::ws, argument);
    }
    if (command.empty() || command[0] == '#') return;
    if (command == "open") return Open(name);
    if (command == "echo") return Say(rest);
    if (command == "sleep") {
      Sleep(static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10)));
      return Say("sleep " + rest);
    }
    if (command == "ctrl") {
      SendCtrl(name == "down");
      Sleep(50);
      return Say("ctrl " + name);
    }
    if (command == "set") {
      vendrolix::win32::WriteRegText(HKEY_LOCAL_MACHINE, vendrolix::kSettingsKey, name.c_str(), argument);
      return Say("set " + name + " " + argument);
    }
    if (command == "unset") {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, vendrolix::kSettingsKey, 0, vendrolix::win32::SettingsAccess(), &key) ==
          ERROR_SUCCESS) {
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
      }
      return Say("unset " + name);
    }
    if (command == "reg") {
      std::string text;
      if (vendrolix::win32::ReadRegText(HKEY_LOCAL_MACHINE, vendrolix::kSettingsKey, name.c_str(), 1024, text)) {
        return Say("reg " + name + " " + text);
      }
      return Say("reg " + name + " missing");
    }

    const auto found = windows_.find(name);
    if (found == windows_.end()) return Say("error no window " + name + ": " + line);
    BrowserWindow& window = *found->second;
    if (command == "navigate") {
      window.Run([&] {
        window.browser()->SetLocation(argument);
        window.browser()->FireBeforeNavigate2(argument);
      });
      return Say("navigate " + name + " " + argument);
    }
    if (command == "location") {
      window.Run([&] { window.browser()->SetLocation(argument); });
      return Say("location " + name + " " + argument);
    }
    if (command == "title") {
      window.Run([&] { window.browser()->FireTitleChange(argument); });
      return Say("title " + name);
    }
    if (command == "newwindow") {
      bool cancelled = false;
      window.Run([&] { cancelled = window.browser()->FireNewWindow2(); });
      return Say("newwindow " + name + (cancelled ? " cancelled" : " opened"));
    }
    if (command == "close") {
      window.Close();
      windows_.erase(found);
      order_.erase(std::remove(order_.begin(), order_.end(), name), order_.end());
      return Say("close " + name);
    }
    Say("error unknown command: " + line);
  }

  void CloseAll() {
    while (!order_.empty()) Execute("close " + order_.front());
  }

 private:
  void Open(const std::string& name) {
    if (name.empty() || windows_.count(name)) return Say("error cannot open " + name);
    auto window = std::make_unique<BrowserWindow>(name);
    if (!window->Open()) return Say("error cannot open " + name);
    const std::size_t helpers = window->helperCount();
    windows_[name] = std::move(window);
    order_.push_back(name);
    Say("open " + name + " helpers " + std::to_string(helpers));
  }

  std::map<std::string, std::unique_ptr<BrowserWindow>> windows_;
  std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterClasses(GetModuleHandleA(nullptr));

  Scenario scenario;
  std::ifstream file;
  if (argc > 1) {
    file.open(argv[1]);
    if (!file) {
      Say(std::string("error cannot read ") + argv[1]);
      return 2;
    }
  }
  std::istream& in = argc > 1 ? static_cast<std::istream&>(file) : std::cin;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    scenario.Execute(line);
  }
  scenario.CloseAll();
  return 0;
}
