// Stand-in for the tray program, installed as VendrolixTray.exe beside the
// browser helper in the bench's install folder. Like the real one it runs
// once, publishes the handles of three hidden buttons in the settings key
// (hForm, hButton, hNSAOLButton, signed decimal text), and ends on a click of
// the form button, writing hForm = "0". It records what happens to it, one
// line each, in the file named by VENDROLIX_TRAY_LOG:
//   start <show command>     every start, also one that ends at once
//   click form|block|nsaol   each BM_CLICK received
//   exit                     the running instance ends
#include <windows.h>

#include <cstdint>
#include <string>

#include "convert.h"
#include "settings.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace {

// Never outlive a test run by much, whatever happens to the browser.
constexpr UINT kLifetimeMs = 120000;

void Record(const std::string& line) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("VENDROLIX_TRAY_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  vendrolix::win32::UniqueFile file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

enum ButtonId { kForm = 1, kBlock = 2, kNsAol = 3 };

// The system button's own procedure: the buttons are system buttons, as the
// tray's are, so that the helper takes them for the tray's.
WNDPROC g_buttonBase = nullptr;

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == vendrolix::kButtonClickMessage) {
    switch (GetWindowLongPtrA(window, GWLP_ID)) {
      case kForm:
        Record("click form");
        PostQuitMessage(0);
        break;
      case kBlock:
        Record("click block");
        break;
      case kNsAol:
        Record("click nsaol");
        break;
      default:
        break;
    }
    return 0;
  }
  return CallWindowProcA(g_buttonBase, window, message, wParam, lParam);
}

void Publish(const char* name, HWND window) {
  const auto value = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
  vendrolix::win32::WriteSettingText(name, vendrolix::ToDecimalText(value));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Output handles handed down from a test's pipe would keep the test waiting
  // for this long-lived program.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    SetStdHandle(which, nullptr);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  Record("start " + std::to_string(show));

  vendrolix::win32::UniqueKernelHandle once(CreateMutexA(nullptr, FALSE, "VendrolixTrayStandIn"));
  if (!once || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  HWND form = CreateWindowExA(0, "STATIC", vendrolix::kTrayFormCaption, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              instance, nullptr);
  HWND buttons[3] = {};
  const char* captions[3] = {vendrolix::kFormCloseCaption, vendrolix::kBlockCaption, vendrolix::kNsAolCaption};
  for (int i = 0; i < 3; ++i) {
    buttons[i] = CreateWindowExA(0, vendrolix::kButtonClass, captions[i], WS_CHILD, 0, 0, 10, 10, form,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)), instance, nullptr);
    const auto base = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(buttons[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
    if (!g_buttonBase) g_buttonBase = base;
  }
  Publish(vendrolix::value::hForm, buttons[0]);
  Publish(vendrolix::value::hButton, buttons[1]);
  Publish(vendrolix::value::hNSAOLButton, buttons[2]);

  SetTimer(nullptr, 0, kLifetimeMs, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
    DispatchMessageA(&msg);
  }
  vendrolix::win32::WriteSettingText(vendrolix::value::hForm, "0");
  Record("exit");
  DestroyWindow(form);
  return 0;
}
