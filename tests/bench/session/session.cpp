// The browsing session of scripts/run, played against the suite as the
// installer left it: the bench's browser stand-in (which loads helpers
// through the Browser Helper Objects listing), real clicks and keys, the
// installed tray and manager. Prints one line per event,
//   row<TAB>event<TAB>expected<TAB>actual
// and saves PNG captures of the manager's pages, its message box and the
// tray menu.
//
//   session.exe --browser=<iexplore.exe> --install=<folder> --shots=<folder>
//
// The tray's icon changes are watched by a window of the notification area's
// class: Wine's shell32 sends each icon record as WM_COPYDATA to the first
// window of that class, and this one passes them on to the desktop's own.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser_process.h"
#include "high_contrast.h"
#include "png_writer.h"
#include "resource.h"
#include "blocked_list.h"
#include "settings.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace {

using Clock = std::chrono::steady_clock;
using vendrolix::win32::UniqueKernelHandle;

constexpr const char* kWhiteListClass = "VendrolixProWhiteList";
constexpr const char* kCookieClass = "VendrolixProCookie";
constexpr const char* kMessageClass = "VendrolixProMessage";
constexpr const char* kNotifyAreaClass = "Shell_TrayWnd";
constexpr const char* kWhiteListed = "trusted-example.org";

struct Options {
  std::string browser, install, shots;
};

void Note(const std::string& text) {
  std::fprintf(stderr, "session: %s\n", text.c_str());
  std::fflush(stderr);
}

void Row(const std::string& event, const std::string& expected, const std::string& actual) {
  std::printf("row\t%s\t%s\t%s\n", event.c_str(), expected.c_str(), actual.c_str());
  std::fflush(stdout);
}

// Waits while answering this thread's messages.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 50) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= end) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(stepMs);
  }
}

std::string Setting(const char* name) {
  return vendrolix::win32::ReadSettingText(name, 1024).value_or("missing");
}

// A value of the user's own, beside the list of blocked windows.
std::string UserValue(const char* name) {
  std::string text;
  if (!vendrolix::win32::ReadRegText(HKEY_CURRENT_USER, vendrolix::kBlockedListKey, name, vendrolix::kBlockedListBytes + 1,
                                     text)) {
    return "missing";
  }
  return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteBytes(const std::string& path, const std::string& bytes) {
  vendrolix::win32::UniqueFile file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool ProcessRunning(const char* exeName) {
  vendrolix::win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, exeName) == 0) return true;
  }
  return false;
}

void SendMouseTo(int x, int y) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65535LL) / (width > 1 ? width - 1 : 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL) / (height > 1 ? height - 1 : 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
}

// A left click at a point of a window given in twips of its design.
void ClickOn(HWND window, long xTwips, long yTwips) {
  RECT rect;
  GetWindowRect(window, &rect);
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  SendMouseTo(rect.left + MulDiv(xTwips, dpi, 1440), rect.top + MulDiv(yTwips, dpi, 1440));
  for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
    Sleep(60);
  }
}

void PressKey(WORD key) {
  INPUT inputs[2]{};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = key;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

// A PNG of a screen rectangle.
bool Capture(const RECT& area, const std::string& path) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
      rgb[i * 3] = bgra[i * 4 + 2];
      rgb[i * 3 + 1] = bgra[i * 4 + 1];
      rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memory, old);
    saved = WriteBytes(path, vendrolix::bench::EncodePng(static_cast<std::uint32_t>(width),
                                                         static_cast<std::uint32_t>(height), rgb));
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

// The notification area as the tray program meets it: every icon record
// (NIM_ADD, NIM_MODIFY, NIM_DELETE) is noted and handed on to the desktop's
// own notification area, so the icon still shows for a person watching.
class NotifyAreaWatch {
 public:
  struct Record {
    Clock::time_point at;
    ULONG_PTR message;
    HWND owner;
    std::string tip;  // a line end shown as " / "
  };

  NotifyAreaWatch() {
    thread_ = std::thread([this] { Run(); });
    WaitFor([this] { return ready_.load(); }, 10000);
  }
  ~NotifyAreaWatch() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
  }
  // Whether icon records reach this window rather than another.
  bool First() const { return window_ && FindWindowA(kNotifyAreaClass, nullptr) == window_; }

  std::vector<Record> Since(Clock::time_point from) {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<Record> out;
    for (const auto& r : records_) {
      if (r.at >= from) out.push_back(r);
    }
    return out;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<NotifyAreaWatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_COPYDATA && self && lParam) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      {
        std::lock_guard<std::mutex> lock(self->lock_);
        self->records_.push_back({Clock::now(), data->dwData, reinterpret_cast<HWND>(wParam), Tip(*data)});
      }
      for (HWND other = FindWindowExA(nullptr, nullptr, kNotifyAreaClass, nullptr); other;
           other = FindWindowExA(nullptr, other, kNotifyAreaClass, nullptr)) {
        if (other == window) continue;
        DWORD_PTR result = TRUE;
        SendMessageTimeoutA(other, WM_COPYDATA, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result);
        return static_cast<LRESULT>(result);
      }
      return TRUE;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }

  // Wine's record: window, id, flags, callback, then the tip as 128 wide
  // characters.
  static std::string Tip(const COPYDATASTRUCT& data) {
    constexpr std::size_t kTipOffset = 16, kTipChars = 128;
    std::string tip;
    if (!data.lpData || data.cbData < kTipOffset + kTipChars * 2) return tip;
    const auto* bytes = static_cast<const unsigned char*>(data.lpData) + kTipOffset;
    for (std::size_t i = 0; i < kTipChars; ++i) {
      const unsigned c = bytes[2 * i] | (bytes[2 * i + 1] << 8);
      if (c == 0) break;
      tip += c == '\n' ? std::string(" / ") : std::string(1, c < 128 ? static_cast<char>(c) : '?');
    }
    return tip;
  }

  void Run() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kNotifyAreaClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kNotifyAreaClass, "",
                                  WS_POPUP, -10, -10, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    if (window) {
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    window_ = window;
    ready_ = true;
    if (!window) return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  }

  std::thread thread_;
  std::atomic<bool> ready_{false};
  std::atomic<HWND> window_{nullptr};
  std::mutex lock_;
  std::deque<Record> records_;
};

// The browser stand-in, each command and its result noted.
class Browser {
 public:
  explicit Browser(const std::string& program) : process_(program) {}
  bool started() const { return process_.started(); }
  std::string Do(const std::string& command) {
    std::string result = process_.Do(command);
    Note(command + " -> " + result);
    return result;
  }

 private:
  vendrolix::test::BrowserProcess process_;
};

// The first visible top-level window of a class, or null.
HWND Visible(const char* className) {
  HWND window = FindWindowA(className, nullptr);
  return (window && IsWindowVisible(window)) ? window : nullptr;
}

class Session {
 public:
  explicit Session(Options options) : o_(std::move(options)) {
    trayInstalled_ = Exists(o_.install + "\\" + vendrolix::file::Tray);
  }

  int Play() {
    PrepareUserFiles();
    ManagerPage("0", kWhiteListClass, "manager white list page", "manager-white-list.png", "manager-message-box.png");
    ManagerPage("1", kCookieClass, "manager cookie manager page", "manager-cookie-manager.png", nullptr,
                "manager-cookie-manager-keyboard-focus.png");
    {
      const vendrolix::test::HighContrastSpell highContrast;
      ManagerPage("0", kWhiteListClass, "manager white list page in high contrast",
                  "manager-white-list-high-contrast.png");
    }

    NotifyAreaWatch notifyArea;
    if (!notifyArea.First()) Note("icon records go to another notification area window");
    Browser browser(o_.browser);
    if (!browser.started()) {
      Row("browser stand-in starts", "started", "failed");
      return 1;
    }
    const std::string opened = browser.Do("open W1");
    Row("browser loads the installed helper", "open W1 helpers 1", opened.empty() ? "no answer" : opened);
    HWND trayForm = nullptr;
    if (trayInstalled_) {
      WaitFor([&] {
        trayForm = FindWindowA(nullptr, vendrolix::kTrayFormCaption);
        const std::string form = Setting(vendrolix::value::hForm);
        return trayForm && form != "missing" && form != "0";
      }, 20000);
      Row("tray starts with the browser", "running", trayForm ? "running" : "not running");
    }

    // 1. A page that opens a pop-up as it loads.
    browser.Do("navigate W1 http://www.popups.example.net/");
    browser.Do("title W1 Pop-up Example");
    const auto beforeBlock = Clock::now();
    const std::string popup = "http://ads.popups.example.net/offer.asp?slot=1";
    Row("pop-up on page load", "blocked", Verdict(browser.Do("newwindow W1 0x0 " + popup)));
    if (trayInstalled_) {
      Row("pop-up on page load: tray flashes", "flashes", Flash(notifyArea, beforeBlock, trayForm));
      Row("pop-up on page load: site recorded", "www.popups.example.net", UserValue(vendrolix::value::LastBlocked));
      std::string tip = "no tip";
      for (const auto& r : notifyArea.Since(beforeBlock)) {
        if (r.owner == trayForm && !r.tip.empty()) tip = r.tip;
      }
      Row("pop-up on page load: tray tip", "Vendrolix Pro - Block Ad Popup-Default / 1 pop-up blocked", tip);
      // Captured with the item that allows the site, above Help.
      TrayMenu(trayForm);
    } else {
      Row("pop-up on page load: tray flashes", "flashes", "pending: no tray");
    }

    // The user's list holds it; the tray's request opens it in a new window.
    {
      std::vector<vendrolix::BlockedEntry> entries = vendrolix::ParseBlockedList(UserValue(vendrolix::kBlockedListValue));
      Row("pop-up on page load: listed with its address", popup, entries.empty() ? "not listed" : entries[0].address);
      browser.Do("post W1 " + std::to_string(entries.empty() ? 0 : entries[0].id));
      Row("listed pop-up opened on request", "opened W1 1 " + popup, browser.Do("opened W1"));
      entries = vendrolix::ParseBlockedList(UserValue(vendrolix::kBlockedListValue));
      Row("opened pop-up leaves the list", "left", entries.empty() || entries[0].address != popup ? "left" : "still listed");
    }

    // 2. The user clicks a link that opens a window, then presses Enter on
    // one: the browser says the keyboard asked for it.
    browser.Do("click W1 link");
    const auto lastClick = Clock::now();
    Row("link click opens a window", "opens", Verdict(browser.Do("newwindow W1")));
    browser.Do("sleep 1200");
    browser.Do("key W1 enter");
    Row("Enter on a link opens a window", "opens", Verdict(browser.Do("newwindow W1 0x6 http://www.popups.example.net/next")));

    // 3. A site on the white list.
    browser.Do(std::string("location W1 http://www.") + kWhiteListed + "/offers");
    browser.Do("title W1 Trusted Offers");
    Row("white-listed site opens a window", "opens", Verdict(browser.Do("newwindow W1")));

    // 4. Ctrl held on a site that is not listed.
    browser.Do("location W1 http://ads.example.net/");
    browser.Do("title W1 Ads");
    browser.Do("ctrl down");
    const std::string withCtrl = Verdict(browser.Do("newwindow W1"));
    browser.Do("ctrl up");
    Row("Ctrl held opens a window", "opens", withCtrl);

    // 5. An HTML dialog long after the last click (the most lenient level
    // forgives a release up to 5 s old).
    const auto sinceClick = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastClick).count();
    if (sinceClick < 5600) browser.Do("sleep " + std::to_string(5600 - sinceClick));
    browser.Do("title W1 Dialog");
    browser.Do("dialog W1 D1");
    browser.Do("sleep 800");
    const std::string dialog = browser.Do("dialogstate D1");
    Row("HTML dialog without a click", "closed",
        dialog == "dialog D1 closed" ? "closed" : dialog == "dialog D1 open" ? "open" : dialog);

    // 6. The administrator's policies, over the user's level and list: Block
    // All refuses the window a link click asks for; an allow-list entry
    // still lets the intranet's sign-in window open. Then they are removed.
    browser.Do("policy BlockLevel 4");
    browser.Do("location W1 http://ads.example.net/");
    browser.Do("title W1 Ads again");
    browser.Do("click W1 link");
    Row("administrator's level Block All: a link click's window", "blocked", Verdict(browser.Do("newwindow W1")));
    // A page cannot list itself by naming a listed site after its host.
    browser.Do(std::string("location W1 http://ads.example.net/") + kWhiteListed + "/?ref=" + kWhiteListed +
               "#news.example.com");
    Row("Block All: a page naming a listed site in its path, query and fragment", "blocked",
        Verdict(browser.Do("newwindow W1")));
    browser.Do(std::string("location W1 http://www.") + kWhiteListed + "/?from=ads.example.net");
    Row("Block All: the listed site's own page", "opens", Verdict(browser.Do("newwindow W1")));
    browser.Do("policyentry AllowList intranet.example.org");
    browser.Do("location W1 http://intranet.example.org/sign-in");
    browser.Do("title W1 Sign in");
    Row("administrator's allow list at Block All: sign-in window", "opens", Verdict(browser.Do("newwindow W1")));
    browser.Do("nopolicy");

    // 7. The last browser window closes.
    browser.Do("close W1");
    const std::string count = browser.Do("reg CountIE");
    Row("last window closed: browser count", "0", count.rfind("reg CountIE ", 0) == 0 ? count.substr(12) : count);
    if (trayInstalled_) {
      const bool gone = WaitFor([] { return !ProcessRunning(vendrolix::file::Tray); }, 15000, 100);
      Row("last window closed: tray ends", "ended", gone ? "ended" : "running");
      Row("last window closed: hForm", "0", Setting(vendrolix::value::hForm));
    } else {
      Row("last window closed: tray ends", "ended", "pending: no tray");
    }
    return 0;
  }

 private:
  static std::string Verdict(const std::string& line) {
    if (line.size() > 7 && line.compare(line.size() - 7, 7, " opened") == 0) return "opens";
    if (line.size() > 10 && line.compare(line.size() - 10, 10, " cancelled") == 0) return "blocked";
    return line.empty() ? "no answer" : line;
  }

  // The user's own files: a white list in the manager's format, and a few
  // cookies so the cookie manager has something to show.
  void PrepareUserFiles() {
    if (!WriteBytes(o_.install + "\\" + vendrolix::file::WhiteList,
                    std::string("2\r\nnews.example.com\r\n") + kWhiteListed + "\r\n")) {
      Note("cannot write the white list");
    }
    // Made by the platform's own cookie call, as a browser makes them: the
    // store names each file at random and keeps the site in its index.
    for (const char* url : {"http://example.com/", "http://news.example.com/", "http://ads.example.net/",
                            "http://trusted-example.org/"}) {
      if (!InternetSetCookieA(url, nullptr, "id=1; expires=Fri, 01 Jan 2038 00:00:00 GMT")) {
        Note(std::string("cannot make a cookie of ") + url);
      }
    }
  }

  // Starts the installed manager on the page Status names and captures it,
  // and, given noticeShot, the page with the notice of an Add without a
  // keyword over it.
  void ManagerPage(const char* status, const char* pageClass, const std::string& event, const std::string& shot,
                   const char* noticeShot = nullptr, const char* focusShot = nullptr) {
    vendrolix::win32::WriteSettingText(vendrolix::value::Status, status);
    const std::string program = o_.install + "\\" + vendrolix::file::Manager;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, o_.install.c_str(),
                        &startup, &process)) {
      Row(event, "shown", "not started");
      return;
    }
    CloseHandle(process.hThread);
    UniqueKernelHandle manager(process.hProcess);
    HWND page = nullptr;
    const bool shown = WaitFor([&] { return (page = Visible(pageClass)) != nullptr; }, 20000);
    std::string actual = shown ? "shown" : "not shown";
    std::string notice = "page not shown";
    std::string focus = "page not shown";
    if (shown) {
      SetForegroundWindow(page);
      WaitFor([] { return false; }, 1200);  // let it paint
      RECT rect;
      GetWindowRect(page, &rect);
      if (!Capture(rect, o_.shots + "\\" + shot)) actual = "shown, capture failed";
      if (noticeShot) notice = Notice(page, noticeShot);
      if (focusShot) focus = KeyboardFocus(page, focusShot);
      PostMessageA(page, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(manager.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(manager.get(), 0);
    Row(event, "shown", actual);
    if (noticeShot) Row("manager message box: Add without a keyword", "shown", notice);
    if (focusShot) Row("manager keyboard: Tab twice from the list", "on Ok, framed", focus);
  }

  // The cookie page opens in its list; two presses of Tab reach Ok, whose
  // focus frame the capture shows.
  std::string KeyboardFocus(HWND page, const std::string& shot) {
    for (int i = 0; i < 2; ++i) {
      INPUT keys[2] = {};
      keys[0].type = keys[1].type = INPUT_KEYBOARD;
      keys[0].ki.wVk = keys[1].ki.wVk = VK_TAB;
      keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, keys, sizeof(INPUT));
      WaitFor([] { return false; }, 200);
    }
    HWND ok = GetDlgItem(page, 410);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const bool onOk = WaitFor(
        [&] { return GetGUIThreadInfo(GetWindowThreadProcessId(page, nullptr), &info) && info.hwndFocus == ok; },
        3000);
    WaitFor([] { return false; }, 500);  // let it paint
    RECT rect;
    GetWindowRect(page, &rect);
    if (!Capture(rect, o_.shots + "\\" + shot)) return "capture failed";
    return onOk ? "on Ok, framed" : "elsewhere";
  }

  // The manager's own message box: Add pressed with the keyword box empty.
  std::string Notice(HWND page, const std::string& shot) {
    ClickOn(page, 2640 + 546, 3420 + 216);  // the Add button
    HWND box = nullptr;
    const bool shown = WaitFor([&] { return (box = Visible(kMessageClass)) != nullptr; }, 10000);
    std::string actual = shown ? "shown" : "not shown";
    if (shown) {
      WaitFor([] { return false; }, 800);  // let it paint
      RECT rect;
      GetWindowRect(page, &rect);  // the box stands over the page
      if (!Capture(rect, o_.shots + "\\" + shot)) actual = "shown, capture failed";
      ClickOn(box, 1560 + 576, 1320 + 216);  // its Ok button
      if (!WaitFor([&] { return !IsWindow(box); }, 5000)) actual += ", stays open";
    }
    return actual;
  }

  // A flash is eight icon changes within about 1.2 s of the block. Should the
  // icon records not come here, the tray's busy spell tells it instead: it
  // handles no messages while it flashes.
  static std::string Flash(NotifyAreaWatch& notifyArea, Clock::time_point from, HWND trayForm) {
    std::size_t changes = 0;
    bool recordsSeen = false;
    WaitFor([&] {
      changes = 0;
      for (const auto& r : notifyArea.Since(from)) {
        recordsSeen = true;
        if (r.message == NIM_MODIFY && r.owner == trayForm) ++changes;
      }
      return changes >= 9;
    }, 3000);
    if (recordsSeen || changes > 0) {
      Note("flash seen in the notification area: " + std::to_string(changes) + " icon changes");
      return changes >= 8 ? "flashes" : "no flash (" + std::to_string(changes) + " icon changes)";
    }
    DWORD longest = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(2500);
    while (Clock::now() < end) {
      const DWORD start = GetTickCount();
      DWORD_PTR result = 0;
      SendMessageTimeoutA(trayForm, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result);
      longest = std::max(longest, GetTickCount() - start);
      Sleep(50);
    }
    Note("no icon records came; the tray was busy for " + std::to_string(longest) + " ms");
    return longest >= 900 ? "flashes" : "no flash (busy " + std::to_string(longest) + " ms)";
  }

  // The tray menu as a right click on the icon opens it.
  void TrayMenu(HWND trayForm) {
    if (!trayForm) {
      Row("tray menu opens", "shown", "no tray window");
      return;
    }
    const int x = GetSystemMetrics(SM_CXSCREEN) - 260, y = GetSystemMetrics(SM_CYSCREEN) - 140;
    SendMouseTo(x, y);
    WaitFor([] { return false; }, 200);
    // As the shell tells the fourth version of the icon's messages.
    PostMessageA(trayForm, WM_TRAY_ICON, MAKEWPARAM(x, y), MAKELPARAM(WM_CONTEXTMENU, 1));
    HWND menu = nullptr;
    const bool shown = WaitFor([&] { return (menu = Visible("#32768")) != nullptr; }, 5000);
    std::string actual = shown ? "shown" : "not shown";
    if (shown) {
      WaitFor([] { return false; }, 700);
      RECT rect;
      GetWindowRect(menu, &rect);
      if (!Capture(rect, o_.shots + "\\tray-menu.png")) actual = "shown, capture failed";
      PressKey(VK_ESCAPE);
      if (!WaitFor([] { return Visible("#32768") == nullptr; }, 3000)) {
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        if (!WaitFor([] { return Visible("#32768") == nullptr; }, 3000)) actual += ", stays open";
      }
    }
    Row("tray menu opens", "shown", actual);
  }

  Options o_;
  bool trayInstalled_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--browser=", 0) == 0) options.browser = arg.substr(10);
    if (arg.rfind("--install=", 0) == 0) options.install = arg.substr(10);
    if (arg.rfind("--shots=", 0) == 0) options.shots = arg.substr(8);
  }
  if (options.browser.empty() || options.install.empty() || options.shots.empty()) {
    std::fprintf(stderr, "usage: session --browser=<iexplore.exe> --install=<folder> --shots=<folder>\n");
    return 2;
  }
  CreateDirectoryA(options.shots.c_str(), nullptr);
  return Session(std::move(options)).Play();
}
