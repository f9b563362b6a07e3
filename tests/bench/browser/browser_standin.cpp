// Browser stand-in: a program that hosts browser helper objects the way the
// browser does, driven by a scenario (a file named on the command line, or
// standard input), one command a line, one result line per command:
//
//   open W                 new browser window W on its own thread; loads the
//                          helpers listed under Browser Helper Objects
//                          -> "open W helpers N"
//   tab W EDGE             W as a tab of Edge's IE mode in Edge's window EDGE
//                          (a top-level "Chrome_WidgetWin_1" window, made on
//                          first use on a thread of its own): W's page window
//                          and its tab sit below EDGE on W's own thread, the
//                          browser's HWND is EDGE, no "IEFrame" window exists,
//                          so the shell's collection lists nothing; closing W
//                          leaves EDGE open -> "tab W helpers N"
//   navigate W URL         address becomes URL, BeforeNavigate2 fired
//   location W URL         address becomes URL, no event
//   title W TEXT           TitleChange fired
//   newwindow W [FLAGS [URL]]  as the browser asks for a new window:
//                          NewWindow3 with the NWMF FLAGS (0 by default, C
//                          notation: 0x6) and URL (about:blank), then
//                          NewWindow2 unless NewWindow3 was cancelled
//                          -> "newwindow W opened|cancelled"
//   newwindow2 W           NewWindow2 alone, as an older host raises it
//                          -> "newwindow2 W opened|cancelled"
//   post W ID              the tray's request to open blocked window ID,
//                          posted to W's frame -> "post W ID"
//   opened W               -> "opened W N [ADDRESS]": the windows the
//                          helpers opened through Navigate2, the last one's address
//   key W KEY              a real key press and release (KEY: enter, space,
//                          tab) to W's frame, seen by W's thread
//   close W                OnQuit fired, helpers released, window destroyed
//   ctrl down|up [W]       the Ctrl key pressed or released (real input); with
//                          W, until W's thread sees it; "ctrl check W"
//                          -> "ctrl check W down|up" as W's thread sees it
//   click W PART [BUTTON]  a real click (SendInput) on a part of window W:
//                          page (plain cursor), link (hand cursor), toolbar,
//                          address, status, plugin; BUTTON left (default),
//                          right or middle
//   press W PART, release W PART   the left button's halves of a click
//   dialog W NAME [OWNER]  an HTML dialog NAME owned by OWNER's frame (W's by
//                          default), then message 0x0491 posted to W's thread
//   silentdialog W NAME    an HTML dialog NAME owned by W's frame, no message
//   usermsg W              WM_USER posted to W's thread
//   tap W PART             a real left click on a part, as click, that waits
//                          until W's thread has seen the press and the release
//                          instead of a fixed pause
//   focus W                W's frame becomes the foreground window
//   foreground W           -> "foreground W yes|no": W's frame is the
//                          foreground window
//   dialogs                -> "dialogs NAME=open|closed ..." for every dialog
//   comfailures            -> "comfailures N [first failure]": COM calls into
//                          the helpers that did not return S_OK so far
//   verbose on|off         when on, each result line ends in " @S-E": local
//                          milliseconds of the day when the command's effect
//                          began (for tap: the release) and when it ended
//   timing on|off          when on, the lines of open, newwindow and reads end
//                          in " us=T": microseconds the effect took (open: the
//                          window's thread, frame and helpers up; newwindow:
//                          the event on W's thread)
//   reads W FILE NAME...   on W's thread, the reads a new-window decision
//                          needs, bare: each settings value NAME opened, read
//                          and closed (Blocked: the user's list of blocked
//                          windows read and written back), then FILE read whole
//                          -> "reads W N bytes"
//   dialogstate NAME       -> "dialog NAME open|closed"
//   sleep MS               waits
//   set NAME VALUE         settings value written (unset NAME removes it)
//   reg NAME               -> "reg NAME VALUE" or "reg NAME missing"
//   policy NAME NUMBER     an administrator's REG_DWORD policy; policyentry LIST TEXT one
//                          entry of a list policy; nopolicy removes every policy
//   echo TEXT              -> TEXT
//   # ...                  comment, no output
//
// Built as iexplore.exe (hosts that pass the helper's host test) and as
// explorer.exe (hosts that do not). Windows still open at the end are closed,
// Edge's windows last.
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <iostream>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../common/bench_browser.h"
#include "../../support/policy_key.h"
#include "../../support/time_scale.h"
#include "blocked_list.h"
#include "settings.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr UINT kRunOnWindowThread = WM_APP + 1;
constexpr UINT kFlushQueue = WM_APP + 2;  // lParam: event to set
constexpr UINT kEndEdgeWindow = WM_APP + 3;
constexpr const char* kEdgeFrameClass = "Chrome_WidgetWin_1";
constexpr const char* kIeModeTabClass = "BenchIeModeTab";

using vendrolix::bench::Wide;
using Browser = vendrolix::bench::BenchBrowser;

// Waits while answering this thread's messages: windows of the browser
// threads may send to it (activation, input) while the scenario waits.
void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    const DWORD passed = GetTickCount() - start;
    if (passed >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - passed, QS_ALLINPUT);
  }
}

// Milliseconds of the local day, the clock the helper stamps with.
long DayMs() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return ((now.wHour * 60L + now.wMinute) * 60L + now.wSecond) * 1000L + now.wMilliseconds;
}

bool g_verbose = false;
long g_effectStart = 0;

// The timing mode: what each command took, in microseconds.
bool g_timing = false;
using vendrolix::test::Microseconds;

std::string Took(double microseconds) {
  if (!g_timing) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, " us=%.1f", microseconds);
  return text;
}

// One pass of what every decision must read, without any of the helper's
// own work: the named settings values, each with its own open and close of
// the key, and the white list read whole. Bytes read, or -1.
long long BareReads(const std::string& file, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (name == vendrolix::kBlockedListValue) {
      // The user's list of blocked windows: read, and written back.
      HKEY made = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, vendrolix::kBlockedListKey, 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | vendrolix::win32::kSuiteView, nullptr, &made,
                          nullptr) != ERROR_SUCCESS) {
        return -1;
      }
      const vendrolix::win32::UniqueHKey key(made);
      std::vector<BYTE> value(vendrolix::kBlockedListBytes + 1);
      DWORD size = static_cast<DWORD>(value.size());
      if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, value.data(), &size) != ERROR_SUCCESS) size = 0;
      if (size == 0) value[size++] = 0;
      if (RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, value.data(), size) != ERROR_SUCCESS) return -1;
      continue;
    }
    // Where the value lives (the user's own level, the session's handles).
    const vendrolix::win32::SettingKeyPath path = vendrolix::win32::SettingKeyPathOf(name.c_str());
    HKEY opened = nullptr;
    if (RegOpenKeyExA(path.root, path.subKey.c_str(), 0, KEY_QUERY_VALUE | vendrolix::win32::kSuiteView, &opened) !=
        ERROR_SUCCESS) {
      return -1;
    }
    const vendrolix::win32::UniqueHKey key(opened);
    BYTE value[255];
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, value, &size) != ERROR_SUCCESS) return -1;
  }
  const vendrolix::win32::UniqueFile handle(CreateFileA(file.c_str(), GENERIC_READ,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return -1;
  static char buffer[64 * 1024];
  long long total = 0;
  DWORD got = 0;
  while (ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) total += got;
  return total;
}

// Waits for an event while answering this thread's messages.
bool WaitPumping(HANDLE event, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD passed = GetTickCount() - start;
    if (passed >= milliseconds) return false;
    if (MsgWaitForMultipleObjects(1, &event, FALSE, milliseconds - passed, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

bool WaitFor(const std::function<bool()>& done, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= milliseconds) return false;
    Pump(2);
  }
  return true;
}

void Say(const std::string& line) {
  std::string out = line;
  if (g_verbose) out += " @" + std::to_string(g_effectStart) + "-" + std::to_string(DayMs());
  std::fputs((out + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// COM calls into the helpers that failed; the helper must report success to
// the browser on every path.
std::mutex g_failureLock;
long g_comFailures = 0;
std::string g_firstFailure;

void CheckHr(HRESULT hr, const std::string& what) {
  if (hr == S_OK) return;
  std::lock_guard<std::mutex> lock(g_failureLock);
  if (g_comFailures++ == 0) {
    char code[16];
    std::snprintf(code, sizeof(code), "%08lX", static_cast<unsigned long>(hr));
    g_firstFailure = what + " returned " + code;
  }
}


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
    CheckHr(helper->SetSite(site), "SetSite");
    helpers.push_back(helper);
  }
  return helpers;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunOnWindowThread:
      (*reinterpret_cast<std::function<void()>*>(lParam))();
      return 0;
    case kFlushQueue:
      SetEvent(reinterpret_cast<HANDLE>(lParam));
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

// Edge's window: it outlives its tabs and closes by the scenario's end only.
LRESULT CALLBACK EdgeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kEndEdgeWindow:
      DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      return 0;
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

// HTML dialogs that were told to close (WM_CLOSE), whether or not the
// window system has finished taking them away.
std::mutex g_closedLock;
std::set<HWND> g_closedDialogs;

bool DialogClosed(HWND dialog) {
  std::lock_guard<std::mutex> lock(g_closedLock);
  return g_closedDialogs.count(dialog) != 0 || !IsWindow(dialog);
}

// An HTML dialog: WM_CLOSE destroys it, as the real one does.
LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    {
      std::lock_guard<std::mutex> lock(g_closedLock);
      g_closedDialogs.insert(window);
    }
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The page shows a hand over its right half (a link) and the frame's arrow
// elsewhere.
LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == window) {
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    RECT client;
    GetClientRect(window, &client);
    SetCursor(LoadCursor(nullptr, cursor.x > client.right / 2 ? IDC_HAND : IDC_ARROW));
    return TRUE;
  }
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
  WNDCLASSA tab = frame;
  tab.lpszClassName = kIeModeTabClass;
  RegisterClassA(&tab);
  WNDCLASSA edge = frame;
  edge.lpfnWndProc = EdgeProc;
  edge.lpszClassName = kEdgeFrameClass;
  RegisterClassA(&edge);
  WNDCLASSA page{};
  page.lpfnWndProc = PageProc;
  page.hInstance = instance;
  page.hCursor = LoadCursor(nullptr, IDC_ARROW);
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  page.lpszClassName = "Internet Explorer_Server";
  RegisterClassA(&page);
  WNDCLASSA plugin = page;
  plugin.lpfnWndProc = PlainProc;
  plugin.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  plugin.lpszClassName = "BenchPluginWindow";
  RegisterClassA(&plugin);
  WNDCLASSA dialog = plugin;
  dialog.lpfnWndProc = DialogProc;
  dialog.lpszClassName = "Internet Explorer_TridentDlgFrame";
  RegisterClassA(&dialog);
}

// One of Edge's top-level windows, on a thread of its own as Edge's user
// interface runs apart from the pages of its IE mode tabs.
class EdgeWindow {
 public:
  explicit EdgeWindow(std::string name) : name_(std::move(name)) {}
  ~EdgeWindow() {
    if (window_) PostMessageA(window_, kEndEdgeWindow, 0, 0);
    if (thread_) WaitForSingleObject(thread_.get(), vendrolix::test::StretchedMs(60000));
  }
  EdgeWindow(const EdgeWindow&) = delete;
  EdgeWindow& operator=(const EdgeWindow&) = delete;

  bool Open() {
    ready_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.reset(CreateThread(nullptr, 0, &EdgeWindow::ThreadMain, this, 0, nullptr));
    if (!thread_) return false;
    HANDLE waits[2] = {ready_.get(), thread_.get()};
    WaitForMultipleObjects(2, waits, FALSE, vendrolix::test::StretchedMs(60000));
    return window_ != nullptr;
  }
  HWND window() const { return window_; }

 private:
  static DWORD WINAPI ThreadMain(void* self) {
    auto& edge = *static_cast<EdgeWindow*>(self);
    edge.window_ = CreateWindowExA(0, kEdgeFrameClass, (edge.name_ + " - Bench Edge").c_str(),
                                   WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 60, 60, 660, 500, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    if (edge.window_) ShowWindow(edge.window_, SW_SHOWNOACTIVATE);
    SetEvent(edge.ready_.get());
    if (!edge.window_) return 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
  }

  std::string name_;
  vendrolix::win32::UniqueKernelHandle ready_;
  vendrolix::win32::UniqueKernelHandle thread_;
  std::atomic<HWND> window_{nullptr};
};

class BrowserWindow;
thread_local BrowserWindow* t_window = nullptr;
LRESULT CALLBACK CountingMouseHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CountingKeyHook(int code, WPARAM wParam, LPARAM lParam);

// One browser window and the thread it lives on.
class BrowserWindow {
 public:
  // Left-button presses and releases the window's thread has retrieved; the
  // hook counting them runs after the helpers' hooks, installed later.
  std::atomic<long> downs{0};
  std::atomic<long> ups{0};
  std::atomic<long> moves{0};
  std::atomic<long> keys{0};  // key releases the window's thread retrieved
  std::atomic<LONG> moveX{-1}, moveY{-1};
  std::mutex classLock;
  std::string upClass;  // class of the window the last release went to

  // Waits until the window's thread has retrieved everything posted to it
  // before this call.
  bool Flush() {
    vendrolix::win32::UniqueKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!frame_ || !PostMessageA(frame_, kFlushQueue, 0, reinterpret_cast<LPARAM>(done.get()))) return false;
    if (WaitPumping(done.get(), vendrolix::test::StretchedMs(60000))) return true;
    done.release();  // the thread may still set it
    return false;
  }

  // With edge, a tab of Edge's IE mode in that window.
  BrowserWindow(std::string name, int index, HWND edge = nullptr)
      : name_(std::move(name)), index_(index), edge_(edge) {}
  ~BrowserWindow() = default;

  bool Open() {
    ready_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.reset(CreateThread(nullptr, 0, &BrowserWindow::ThreadMain, this, 0, nullptr));
    if (!thread_) return false;
    HANDLE waits[2] = {ready_.get(), thread_.get()};
    WaitForMultipleObjects(2, waits, FALSE, vendrolix::test::StretchedMs(60000));
    return frame_ != nullptr;
  }

  // Runs work on the window's own thread and waits for it.
  void Run(std::function<void()> work) {
    if (frame_) SendMessageA(frame_, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&work));
  }

  void Close() {
    Run([this] {
      browser_->FireOnQuit();
      for (auto& helper : helpers_) CheckHr(helper->SetSite(nullptr), "SetSite(null)");
      helpers_.clear();
      DestroyWindow(frame_);
    });
    WaitForSingleObject(thread_.get(), vendrolix::test::StretchedMs(60000));
    frame_ = nullptr;
  }

  HWND frame() const { return frame_; }
  DWORD threadId() const { return GetThreadId(thread_.get()); }

  // Screen point of a part: its centre; the page's plain and link points lie
  // left and right of its middle, clear of the plug-in window.
  bool PointOf(const std::string& part, POINT& point) {
    const std::string window = (part == "link") ? "page" : part;
    const auto found = parts_.find(window);
    if (found == parts_.end() || !found->second) return false;
    RECT rect;
    GetWindowRect(found->second, &rect);
    point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (part == "page") point = {rect.left + (rect.right - rect.left) / 4, rect.top + 60};
    if (part == "link") point = {rect.right - (rect.right - rect.left) / 4, rect.top + 60};
    return true;
  }

  // An HTML dialog owned by this window's frame, made on its thread.
  HWND OpenDialog() {
    HWND dialog = nullptr;
    Run([&] {
      // Right of every browser window, so that it never takes a click.
      dialog = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "Internet Explorer_TridentDlgFrame", "Dialog",
                               WS_POPUP | WS_BORDER,
                               1000, 300, 200, 120, frame_, nullptr, GetModuleHandleA(nullptr), nullptr);
      if (dialog) ShowWindow(dialog, SW_SHOWNOACTIVATE);
    });
    return dialog;
  }
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
    HWND frame = edge_ ? OpenTab(instance) : OpenFrame(instance);
    if (!frame) {
      SetEvent(ready_.get());
      return;
    }
    ShowWindow(frame, SW_SHOWNOACTIVATE);

    t_window = this;
    HHOOK counter = SetWindowsHookExA(WH_MOUSE, CountingMouseHook, nullptr, GetCurrentThreadId());
    HHOOK keyCounter = SetWindowsHookExA(WH_KEYBOARD, CountingKeyHook, nullptr, GetCurrentThreadId());
    browser_.Attach(new Browser(edge_ ? edge_ : frame));
    browser_->onFailure = CheckHr;
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
    if (counter) UnhookWindowsHookEx(counter);
    if (keyCounter) UnhookWindowsHookEx(keyCounter);
  }

  // The classic browser's own frame with its toolbar, address, page and
  // status bar.
  HWND OpenFrame(HINSTANCE instance) {
    const int offset = 40 + 30 * (index_ % 8);
    HWND frame = CreateWindowExA(0, "IEFrame", (name_ + " - Bench Browser").c_str(),
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, offset, offset, 640, 480, nullptr, nullptr,
                                 instance, nullptr);
    if (!frame) return nullptr;
    HWND rebar = CreateWindowExA(0, REBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
                                 0, 620, 30, frame, nullptr, instance, nullptr);
    parts_["toolbar"] = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                        WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 300, 28,
                                        rebar ? rebar : frame, nullptr, instance, nullptr);
    parts_["address"] = CreateWindowExA(0, "Edit", "about:blank", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 32, 600, 22,
                                        frame, nullptr, instance, nullptr);
    OpenPage(frame, 56, 0, instance);
    parts_["status"] = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                       0, 390, 620, 40, frame, nullptr, instance, nullptr);
    return frame;
  }

  // An IE mode tab: Edge draws the toolbar and address itself; below its
  // window only the tab and its page are the browser's, on this thread.
  HWND OpenTab(HINSTANCE instance) {
    HWND tab = CreateWindowExA(WS_EX_NOPARENTNOTIFY, kIeModeTabClass, "", WS_CHILD | WS_CLIPCHILDREN, 0, 40, 640,
                               440, edge_, nullptr, instance, nullptr);
    // Edge's thread is not told of the tab's windows coming and going.
    if (tab) OpenPage(tab, 0, WS_EX_NOPARENTNOTIFY, instance);
    return tab;
  }

  void OpenPage(HWND parent, int top, DWORD exStyle, HINSTANCE instance) {
    HWND page = CreateWindowExA(exStyle, "Internet Explorer_Server", "", WS_CHILD | WS_VISIBLE, 0, top,
                                620, 330, parent, nullptr, instance, nullptr);
    parts_["page"] = page;
    parts_["plugin"] = CreateWindowExA(0, "BenchPluginWindow", "", WS_CHILD | WS_VISIBLE, 20, 240, 150, 70, page,
                                       nullptr, instance, nullptr);
  }

  std::string name_;
  int index_;
  HWND edge_;
  std::map<std::string, HWND> parts_;
  vendrolix::win32::UniqueKernelHandle ready_;
  vendrolix::win32::UniqueKernelHandle thread_;
  std::atomic<HWND> frame_{nullptr};
  ComPtr<Browser> browser_;
  std::vector<ComPtr<IObjectWithSite>> helpers_;
  std::size_t helperCount_ = 0;
};

LRESULT CALLBACK CountingMouseHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && t_window) {
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    if (wParam == WM_MOUSEMOVE) {
      t_window->moveX = info->pt.x;
      t_window->moveY = info->pt.y;
      ++t_window->moves;
    }
    if (wParam == WM_LBUTTONDOWN) ++t_window->downs;
    if (wParam == WM_LBUTTONUP) {
      char name[256] = "";
      GetClassNameA(info->hwnd, name, sizeof(name));
      {
        std::lock_guard<std::mutex> lock(t_window->classLock);
        t_window->upClass = name;
      }
      ++t_window->ups;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountingKeyHook(int code, WPARAM wParam, LPARAM lParam) {
  // Bit 31: the key goes up.
  if (code == HC_ACTION && t_window && (lParam & 0x80000000)) ++t_window->keys;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void SendCtrl(bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = VK_CONTROL;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
}

void SendMouse(DWORD flags, const POINT* at = nullptr) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (at) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = static_cast<LONG>((at->x * 65535LL) / (width > 1 ? width - 1 : 1));
    input.mi.dy = static_cast<LONG>((at->y * 65535LL) / (height > 1 ? height - 1 : 1));
    input.mi.dwFlags |= MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  }
  SendInput(1, &input, sizeof(input));
}

// A window as a failure message names it: class, caption, process.
std::string Describe(HWND window) {
  if (!window) return "no window";
  char name[128] = "", text[128] = "";
  GetClassNameA(window, name, sizeof(name));
  GetWindowTextA(window, text, sizeof(text));
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return std::string(name) + " \"" + text + "\" of process " + std::to_string(process) +
         (process == GetCurrentProcessId() ? " (this one)" : "");
}

// Input reaches the window's thread on its own time; give it a moment.
constexpr DWORD kInputSettleMs = 250;

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
    g_effectStart = DayMs();
    if (command == "open") return Open(name);
    if (command == "tab") return OpenTab(name, argument);
    if (command == "verbose") {
      g_verbose = name == "on";
      return Say("verbose " + name);
    }
    if (command == "timing") {
      g_timing = name == "on";
      return Say("timing " + name);
    }
    if (command == "comfailures") {
      std::lock_guard<std::mutex> lock(g_failureLock);
      return Say("comfailures " + std::to_string(g_comFailures) + (g_comFailures ? " " + g_firstFailure : ""));
    }
    if (command == "dialogs") {
      std::string states = "dialogs";
      for (const auto& dialog : dialogs_) states += " " + dialog.first + (DialogClosed(dialog.second) ? "=closed" : "=open");
      return Say(states);
    }
    if (command == "echo") return Say(rest);
    if (command == "sleep") {
      Pump(static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10)));
      return Say("sleep " + rest);
    }
    if (command == "ctrl") {
      const bool down = name == "down";
      const auto target = windows_.find(argument);
      if (target == windows_.end()) {
        SendCtrl(down);
        Pump(50);
        return Say("ctrl " + name);
      }
      // "ctrl down|up W": the key state W's thread reads follows its input
      // only once that thread has taken the key message, and Wine's display
      // driver sets Ctrl, Alt and Shift back to the display's own keyboard
      // (where nothing is held) whenever one of its windows is activated:
      // focus W and press again until W's thread sees the key.
      BrowserWindow& window = *target->second;
      if (name == "check") {
        bool held = false;
        window.Run([&] { held = GetKeyState(VK_CONTROL) < 0; });
        return Say("ctrl check " + argument + (held ? " down" : " up, in front: " + Describe(GetForegroundWindow())));
      }
      bool seen = false;
      for (int attempt = 0; attempt < 10 && !seen; ++attempt) {
        window.Run([&] {
          SetForegroundWindow(window.frame());
          SetFocus(window.frame());
        });
        SendCtrl(down);
        seen = WaitFor([&] {
          bool now = false;
          window.Run([&] { now = (GetKeyState(VK_CONTROL) < 0) == down; });
          return now;
        }, 300);
      }
      return Say("ctrl " + name + " " + argument + (seen ? "" : " unseen, in front: " + Describe(GetForegroundWindow())));
    }
    if (command == "set") {
      vendrolix::win32::WriteSettingText(name.c_str(), argument);
      return Say("set " + name + " " + argument);
    }
    if (command == "unset") {
      vendrolix::win32::DeleteSetting(name.c_str());
      return Say("unset " + name);
    }
    // The administrator's policies: "policy NAME NUMBER" (REG_DWORD),
    // "policyentry LIST TEXT" and "nopolicy" (every policy removed).
    if (command == "policy") {
      vendrolix::test::SetPolicyDword(name, static_cast<DWORD>(std::strtoul(argument.c_str(), nullptr, 10)));
      return Say("policy " + name + " " + argument);
    }
    if (command == "policyentry") {
      vendrolix::test::AddPolicyEntry(name, argument);
      return Say("policyentry " + name + " " + argument);
    }
    if (command == "nopolicy") {
      vendrolix::test::RemovePolicies();
      return Say("nopolicy");
    }
    if (command == "reg") {
      if (const auto text = vendrolix::win32::ReadSettingText(name.c_str(), 1024)) return Say("reg " + name + " " + *text);
      return Say("reg " + name + " missing");
    }

    if (command == "dialogstate") {
      const auto dialog = dialogs_.find(name);
      const bool open = dialog != dialogs_.end() && !DialogClosed(dialog->second);
      return Say("dialog " + name + (open ? " open" : " closed"));
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
    if (command == "newwindow" || command == "newwindow2") {
      std::string flags, url;
      std::istringstream(argument) >> flags >> url;
      if (url.empty()) url = "about:blank";
      const auto value = static_cast<std::uint32_t>(std::strtoul(flags.c_str(), nullptr, 0));
      bool cancelled = false;
      double took = 0;
      window.Run([&] {
        const double start = Microseconds();
        cancelled = command == "newwindow2" ? window.browser()->FireNewWindow2()
                                            : window.browser()->FireNewWindow(value, url) != 0;
        took = Microseconds() - start;
      });
      return Say(command + " " + name + (cancelled ? " cancelled" : " opened") + Took(took));
    }
    if (command == "key") {
      const WORD key = argument == "space" ? VK_SPACE : argument == "tab" ? VK_TAB : VK_RETURN;
      window.Run([&] {
        SetForegroundWindow(window.frame());
        SetFocus(window.frame());
      });
      const long keys = window.keys;
      INPUT input[2]{};
      input[0].type = input[1].type = INPUT_KEYBOARD;
      input[0].ki.wVk = input[1].ki.wVk = key;
      input[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, input, sizeof(INPUT));
      const bool seen = WaitFor([&] { return window.keys > keys; }, 3000);
      return Say("key " + name + " " + argument + (seen ? "" : " unseen"));
    }
    if (command == "reads") {
      // On W's thread, as the helper's reads are: the floor of its request.
      std::istringstream values(argument);
      std::string file;
      values >> file;
      std::vector<std::string> names;
      for (std::string value; values >> value;) names.push_back(value);
      long long bytes = -1;
      double took = 0;
      window.Run([&] {
        const double start = Microseconds();
        bytes = BareReads(file, names);
        took = Microseconds() - start;
      });
      if (bytes < 0) return Say("error cannot read: " + line);
      return Say("reads " + name + " " + std::to_string(bytes) + " bytes" + Took(took));
    }
    if (command == "click" || command == "press" || command == "release") {
      std::string part, button = "left";
      std::istringstream(argument) >> part >> button;
      POINT point;
      if (!window.PointOf(part, point)) return Say("error no part " + part + ": " + line);
      window.Run([&] {
        SetForegroundWindow(window.frame());
        BringWindowToTop(window.frame());
      });
      SendMouse(0, &point);
      Pump(kInputSettleMs);
      DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
      if (button == "right") down = MOUSEEVENTF_RIGHTDOWN, up = MOUSEEVENTF_RIGHTUP;
      if (button == "middle") down = MOUSEEVENTF_MIDDLEDOWN, up = MOUSEEVENTF_MIDDLEUP;
      if (command != "release") SendMouse(down);
      if (command == "click") Pump(50);
      if (command != "press") SendMouse(up);
      Pump(kInputSettleMs);
      return Say(command + " " + name + " " + argument);
    }
    if (command == "dialog") {
      std::string dialogName, ownerName;
      std::istringstream(argument) >> dialogName >> ownerName;
      BrowserWindow* owner = &window;
      if (!ownerName.empty()) {
        const auto other = windows_.find(ownerName);
        if (other == windows_.end()) return Say("error no window " + ownerName + ": " + line);
        owner = other->second.get();
      }
      HWND dialog = owner->OpenDialog();
      if (!dialog) return Say("error cannot open dialog: " + line);
      dialogs_[dialogName] = dialog;
      g_effectStart = DayMs();
      PostMessageA(window.frame(), 0x0491, 0, 0);
      // The watch runs when W's thread retrieves the message; a close it
      // posts is handled by the dialog's own thread after that.
      window.Flush();
      owner->Flush();
      if (!g_verbose) Pump(kInputSettleMs);
      return Say("dialog " + name + " " + argument + (g_verbose ? " hwnd=" + std::to_string(reinterpret_cast<INT_PTR>(dialog)) : ""));
    }
    if (command == "silentdialog") {
      HWND dialog = window.OpenDialog();
      if (!dialog) return Say("error cannot open dialog: " + line);
      dialogs_[argument] = dialog;
      return Say("silentdialog " + name + " " + argument + " hwnd=" + std::to_string(reinterpret_cast<INT_PTR>(dialog)));
    }
    if (command == "focus") {
      window.Run([&] {
        SetForegroundWindow(window.frame());
        BringWindowToTop(window.frame());
      });
      return Say("focus " + name);
    }
    if (command == "foreground") {
      return Say("foreground " + name + (GetForegroundWindow() == window.frame() ? " yes" : " no"));
    }
    if (command == "tap") {
      POINT point;
      if (!window.PointOf(argument, point)) return Say("error no part " + argument + ": " + line);
      // Above the other browser windows whatever the activation did.
      window.Run([&] {
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
        SetWindowPos(window.frame(), HWND_TOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(window.frame(), HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetForegroundWindow(window.frame());
        BringWindowToTop(window.frame());
      });
      // The press must not overtake the move to its point.
      SendMouse(0, &point);
      WaitFor([&] { return std::abs(window.moveX - point.x) <= 2 && std::abs(window.moveY - point.y) <= 2; }, 1000);
      const long downs = window.downs;
      SendMouse(MOUSEEVENTF_LEFTDOWN);
      bool seen = WaitFor([&] { return window.downs > downs; }, 3000);
      const long ups = window.ups;
      g_effectStart = DayMs();
      SendMouse(MOUSEEVENTF_LEFTUP);
      seen = WaitFor([&] { return window.ups > ups; }, 3000) && seen;
      std::string upClass;
      {
        std::lock_guard<std::mutex> lock(window.classLock);
        upClass = window.upClass;
      }
      return Say("tap " + name + " " + argument + (seen ? " on " + upClass : " unseen"));
    }
    if (command == "post") {
      PostMessageA(window.frame(), RegisterWindowMessageA(vendrolix::kOpenBlockedMessage),
                   static_cast<WPARAM>(std::strtoul(argument.c_str(), nullptr, 10)), 0);
      window.Flush();
      return Say("post " + name + " " + argument);
    }
    if (command == "opened") {
      std::string said;
      window.Run([&] {
        const auto& opened = window.browser()->openedWindows;
        said = std::to_string(opened.size()) + (opened.empty() ? "" : " " + opened.back());
      });
      return Say("opened " + name + " " + said);
    }
    if (command == "usermsg") {
      g_effectStart = DayMs();
      PostMessageA(window.frame(), WM_USER, 0, 0);
      window.Flush();
      window.Flush();
      if (!g_verbose) Pump(50);
      return Say("usermsg " + name);
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
    edges_.clear();
  }

 private:
  void Open(const std::string& name, const std::string& command = "open", HWND edge = nullptr) {
    if (name.empty() || windows_.count(name)) return Say("error cannot " + command + " " + name);
    auto window = std::make_unique<BrowserWindow>(name, opened_++, edge);
    const double start = Microseconds();
    if (!window->Open()) return Say("error cannot " + command + " " + name);
    const double took = Microseconds() - start;
    const std::size_t helpers = window->helperCount();
    windows_[name] = std::move(window);
    order_.push_back(name);
    Say(command + " " + name + " helpers " + std::to_string(helpers) + Took(took));
  }

  void OpenTab(const std::string& name, const std::string& edgeName) {
    if (edgeName.empty()) return Say("error no Edge window for tab " + name);
    auto& edge = edges_[edgeName];
    if (!edge) {
      edge = std::make_unique<EdgeWindow>(edgeName);
      if (!edge->Open()) {
        edges_.erase(edgeName);
        return Say("error cannot open Edge window " + edgeName);
      }
    }
    Open(name, "tab", edge->window());
  }

  std::map<std::string, std::unique_ptr<BrowserWindow>> windows_;
  std::vector<std::string> order_;
  std::map<std::string, HWND> dialogs_;
  std::map<std::string, std::unique_ptr<EdgeWindow>> edges_;
  int opened_ = 0;
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
