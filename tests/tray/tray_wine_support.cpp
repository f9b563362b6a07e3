#include "tray_wine_support.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "resource.h"
#include "settings.h"
#include "text.h"
#include "win32/CRegistry.h"
#include "win32/registry.h"
#include "wine_support.h"

namespace vendrolix::test {
namespace {

const char* const kObserverClass = "Shell_TrayWnd";

// Wine's record: hWnd, uID, uFlags, uCallbackMessage, then the tip as 128
// wide characters; the icon's mask and colour bits follow the record.
constexpr std::size_t kTipOffset = 16;
constexpr std::size_t kTipChars = 128;

char ClassifyIcon(const BYTE* data, std::size_t size) {
  std::size_t red = 0, green = 0;
  for (std::size_t at = kTipOffset + kTipChars * 2; at + 4 <= size; at += 4) {
    const int b = data[at], g = data[at + 1], r = data[at + 2];
    if (r > 120 && r > g + 60 && r > b + 60) ++red;
    if (g > 100 && g > r + 50 && g > b + 30) ++green;
  }
  if (red < 20 && green < 20) return '?';
  return red > green ? 'B' : 'A';
}

}  // namespace

IconObserver::IconObserver() {
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this] { Run(); });
  WaitForSingleObject(ready_, 10000);
}

IconObserver::~IconObserver() {
  if (threadId_) PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  if (thread_.joinable()) thread_.join();
  if (ready_) CloseHandle(ready_);
}

void IconObserver::Run() {
  threadId_ = GetCurrentThreadId();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kObserverClass;
  RegisterClassA(&windowClass);
  // Topmost, so that the search for the shell's tray window meets it first.
  window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kObserverClass, nullptr, WS_POPUP, 0, 0, 1, 1,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
  SetEvent(ready_);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  DestroyWindow(window_);
}

LRESULT CALLBACK IconObserver::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* self = reinterpret_cast<IconObserver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!self || !copy || copy->cbData < kTipOffset + kTipChars * 2) return FALSE;
    const auto* data = static_cast<const BYTE*>(copy->lpData);
    IconEvent event;
    event.message = static_cast<DWORD>(copy->dwData);
    LONG handle = 0;
    std::memcpy(&handle, data, 4);
    event.window = reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
    std::memcpy(&event.id, data + 4, 4);
    std::memcpy(&event.flags, data + 8, 4);
    std::memcpy(&event.callback, data + 12, 4);
    for (std::size_t i = 0; i < kTipChars; ++i) {
      WCHAR c = 0;
      std::memcpy(&c, data + kTipOffset + i * 2, 2);
      if (c == 0) break;
      event.tip += static_cast<char>(c < 128 ? c : '?');
    }
    // Wine's record after the tip: state, mask, 256 wide characters of
    // balloon text, then the version.
    constexpr std::size_t kVersionOffset = kTipOffset + kTipChars * 2 + 8 + 512;
    if (event.message == NIM_SETVERSION && copy->cbData >= kVersionOffset + 4) {
      std::memcpy(&event.version, data + kVersionOffset, 4);
    }
    event.icon = ClassifyIcon(data, copy->cbData);
    event.tick = GetTickCount();
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->events_.push_back(event);
    return event.message == NIM_SETVERSION && self->refuseVersions_ ? FALSE : TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool IconObserver::Receiving() const { return window_ && FindWindowExA(nullptr, nullptr, kObserverClass, nullptr) == window_; }

std::vector<IconEvent> IconObserver::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

void IconObserver::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

bool IconObserver::WaitForCount(std::size_t n, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Events().size() >= n; }, timeout);
}

std::string IconTrail(const std::vector<IconEvent>& events) {
  std::string trail;
  for (const auto& e : events) trail += e.icon;
  return trail;
}

HWND HandleFromText(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtol(text->c_str(), nullptr, 10)));
}

HANDLE WaitForPublishedTray(const SettingsKey& settings, std::chrono::milliseconds timeout, HWND* formButton) {
  DWORD pid = 0;
  HWND form = nullptr;
  const bool published = WaitUntil(
      [&] {
        form = HandleFromText(settings.Get(value::hForm));
        return form && IsWindow(form) && GetWindowThreadProcessId(form, &pid);
      },
      timeout);
  if (formButton) *formButton = form;
  return published ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
}

TrayProcess::TrayProcess(const std::string& exePath) {
  std::string line = Quote(exePath);
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
  if (CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                     &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
  }
}

TrayProcess::~TrayProcess() {
  if (!process_) return;
  if (running()) {
    if (form_) PostMessageA(form_, WM_CLOSE, 0, 0);
    if (!WaitExit(std::chrono::seconds(10))) TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}BrowserWindow::BrowserWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "IEFrame";
  RegisterClassA(&windowClass);  // fails harmlessly once registered
  window_ = CreateWindowExA(0, "IEFrame", "Stand-in - Microsoft Internet Explorer", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                            100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

BrowserWindow::~BrowserWindow() { Close(); }

void BrowserWindow::Close() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

bool TrayProcess::WaitReady(std::chrono::milliseconds timeout, bool publishes) {
  const char* names[3] = {value::hForm, value::hButton, value::hNSAOLButton};
  const int ids[3] = {IDC_FORM_CLOSE, IDC_BLOCK, IDC_BLOCK_NSAOL};
  const bool found = WaitUntil(
      [&] {
        if (publishes) {
          for (int i = 0; i < 3; ++i) {
            HWND window = HandleFromText(win32::ReadSettingText(names[i], 1024));
            DWORD owner = 0;
            if (!window || !IsWindow(window)) return false;
            GetWindowThreadProcessId(window, &owner);
            if (owner != pid_) return false;
            buttons_[i] = window;
          }
          form_ = GetParent(buttons_[0]);
          return true;
        }
        // A tray that may not write the settings key publishes nothing: its
        // window is found by its caption and process.
        for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, kTrayFormCaption); window;
             window = FindWindowExA(nullptr, window, nullptr, kTrayFormCaption)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner != pid_) continue;
          form_ = window;
          for (int i = 0; i < 3; ++i) buttons_[i] = GetDlgItem(form_, ids[i]);
          return buttons_[0] && buttons_[1] && buttons_[2];
        }
        return false;
      },
      timeout);
  if (!found) return false;
  // Answered once the load has run to its end; where nothing is published,
  // a message sent while the load still waits on another thread may be
  // answered earlier.
  return Send(WM_NULL);
}

bool TrayProcess::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(form_, message, wParam, lParam, SMTO_NORMAL, 20000, &result) != 0;
}

bool TrayProcess::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  return PostMessageA(form_, message, wParam, lParam) != 0;
}

bool TrayProcess::WaitExit(std::chrono::milliseconds timeout) {
  return process_ && WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

bool TrayProcess::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD TrayProcess::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

bool WaitForChildProcess(DWORD parent, const std::string& exeName, std::chrono::milliseconds timeout) {
  return WaitUntil(
      [&] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return false;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        bool found = false;
        for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
          found = entry.th32ParentProcessID == parent && EqualsNoCase(entry.szExeFile, exeName);
        }
        CloseHandle(snapshot);
        return found;
      },
      timeout, std::chrono::milliseconds(5));
}

}  // namespace vendrolix::test
