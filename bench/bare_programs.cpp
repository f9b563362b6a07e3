// The floors of the Wine bench's start-up figures: programs that do only
// what the user waits for, the plainest way the system offers.
//
//   bench_floor store               a window with a list box the size of the
//                                   cookie page's, filled with the names of
//                                   the entries of one enumeration of
//                                   Internet Explorer's cookie store
//   bench_floor lines FILE          the same, filled with the lines of FILE
//                                   after its first (a white list file)
//   bench_floor tray                a hidden window with three buttons, an
//                                   icon in the notification area and the
//                                   three button handles published
//
// Each shows what it made and runs until its window is sent WM_CLOSE.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "settings.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace {

constexpr const char* kFloorClass = "VendrolixBenchFloor";
constexpr int kListId = 1;

NOTIFYICONDATAA g_icon{};

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    if (g_icon.hWnd) Shell_NotifyIconA(NIM_DELETE, &g_icon);
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A page-sized window and a list box where the cookie page has its list
// (positions in pixels at 96 dpi).
HWND ListWindow(HWND& list) {
  HWND window = CreateWindowExA(0, kFloorClass, "Floor", WS_POPUP, 300, 300, 428, 273, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, 32, 76,
                         361, 118, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)),
                         GetModuleHandleA(nullptr), nullptr);
  return window;
}

void Fill(HWND list, const std::vector<std::string>& items) {
  std::size_t bytes = 0;
  for (const std::string& item : items) bytes += item.size() + 1;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_INITSTORAGE, items.size(), bytes);
  for (const std::string& item : items) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

std::vector<std::string> StoreEntries() {
  std::vector<std::string> names;
  std::vector<unsigned long long> buffer(512);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
  for (const char* pattern : {"cookie:", "Cookie:"}) {
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(buffer[0]));
    HANDLE find = FindFirstUrlCacheEntryA(pattern, info, &size);
    if (!find) continue;
    do {
      names.emplace_back(info->lpszSourceUrlName);
      size = static_cast<DWORD>(buffer.size() * sizeof(buffer[0]));
    } while (FindNextUrlCacheEntryA(find, info, &size));
    FindCloseUrlCache(find);
    break;
  }
  return names;
}

std::vector<std::string> LinesAfterFirst(const std::string& file) {
  std::vector<std::string> lines;
  vendrolix::win32::TextFileReader reader(file, vendrolix::win32::TextFileReader::OpenMode::Plain);
  std::string line;
  if (!reader.Next(line)) return lines;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

void Publish(const char* name, HWND window) {
  vendrolix::win32::WriteSettingText(name, std::to_string(static_cast<long>(reinterpret_cast<INT_PTR>(window))));
}

HWND TrayWindow() {
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kFloorClass, "Floor", WS_OVERLAPPED, -4000, -4000, 160, 60, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND buttons[3];
  for (HWND& button : buttons) {
    button = CreateWindowExA(0, "Button", "", WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 20, window, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  }
  g_icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  g_icon.hWnd = window;
  g_icon.uID = 1;
  g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_icon.uCallbackMessage = WM_MOUSEMOVE;
  g_icon.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  lstrcpynA(g_icon.szTip, "Floor", sizeof g_icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &g_icon);
  Publish(vendrolix::value::hForm, buttons[0]);
  Publish(vendrolix::value::hButton, buttons[1]);
  Publish(vendrolix::value::hNSAOLButton, buttons[2]);
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = FloorProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kFloorClass;
  RegisterClassA(&windowClass);

  const std::string mode = argc > 1 ? argv[1] : "";
  HWND window = nullptr;
  if (mode == "lines" && argc > 2) {
    HWND list = nullptr;
    window = ListWindow(list);
    Fill(list, LinesAfterFirst(argv[2]));
  } else if (mode == "store") {
    HWND list = nullptr;
    window = ListWindow(list);
    Fill(list, StoreEntries());
  } else if (mode == "tray") {
    window = TrayWindow();
  }
  if (!window) return 2;
  if (mode != "tray") {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
