#include "ModVendrolixIE.h"

#include <mmsystem.h>
#include <objbase.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <new>

#include "CookieCleaner.h"
#include "hooks.h"
#include "settings.h"
#include "text.h"
#include "win32/file_io.h"
#include "win32/registry.h"

namespace vendrolix::helper {

namespace {

DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;
HMODULE g_module = nullptr;
std::atomic<long> g_hooks{0};

// The helper's reads and writes use the same buffer size and registry view
// as the rest of the suite.
constexpr std::size_t kReadBufferSize = 255;

}  // namespace

bool InitThreadStates() {
  g_tlsSlot = TlsAlloc();
  return g_tlsSlot != TLS_OUT_OF_INDEXES;
}

void FreeThreadStates() {
  ReleaseThreadState();
  if (g_tlsSlot != TLS_OUT_OF_INDEXES) TlsFree(g_tlsSlot);
  g_tlsSlot = TLS_OUT_OF_INDEXES;
}

ModVendrolixIE& ThreadState() {
  // Only when memory ran out: shared, but never a crash. (No thread_local
  // here: its destructors would outlive a DLL that COM unloads.)
  static ModVendrolixIE fallback;
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) return fallback;
  auto* state = static_cast<ModVendrolixIE*>(TlsGetValue(g_tlsSlot));
  if (!state) {
    state = new (std::nothrow) ModVendrolixIE();
    if (!state) return fallback;
    TlsSetValue(g_tlsSlot, state);
  }
  return *state;
}

void ReleaseThreadState() {
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) return;
  std::unique_ptr<ModVendrolixIE> state(static_cast<ModVendrolixIE*>(TlsGetValue(g_tlsSlot)));
  TlsSetValue(g_tlsSlot, nullptr);
  // A thread that ends without its window's quit takes its hooks with it.
  if (state) g_hooks -= state->LiveHooks;
}

long InstalledHooks() { return g_hooks; }

void InstallHooks(ModVendrolixIE& state) {
  state.MouseHook = SetWindowsHookExA(WH_MOUSE, MouseHookProc, nullptr, state.ThreadId);
  if (state.MouseHook) ++state.LiveHooks, ++g_hooks;
  state.MessageHook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHookProc, nullptr, state.ThreadId);
  if (state.MessageHook) ++state.LiveHooks, ++g_hooks;
}

void RemoveHooks(ModVendrolixIE& state) {
  if (state.MouseHook && UnhookWindowsHookEx(state.MouseHook)) --state.LiveHooks, --g_hooks;
  if (state.MessageHook && UnhookWindowsHookEx(state.MessageHook)) --state.LiveHooks, --g_hooks;
}

HMODULE ThisModule() { return g_module; }
void SetThisModule(HMODULE module) { g_module = module; }

std::string ReadRegString(const char* key, const char* name) { return ReadStoredRegString(key, name).value_or("1"); }

std::optional<std::string> ReadStoredRegString(const char* key, const char* name) {
  std::string text;
  if (!win32::ReadRegText(HKEY_LOCAL_MACHINE, key, name, kReadBufferSize, text)) return std::nullopt;
  return Trim(text);
}

void WriteRegString(const char* name, const std::string& value) {
  win32::WriteRegText(HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}

std::int16_t IsBlockedUrl(const std::string& appPath, const std::string& url) {
  win32::TextFileReader reader(appPath + "\\" + file::WhiteList);
  if (!reader.is_open()) return 1;
  return WhiteListLookup([&reader](std::string& line) { return reader.Next(line); }, url);
}

std::int32_t NowStamp() {
  SYSTEMTIME time;
  GetLocalTime(&time);
  return StampOfTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
}

namespace {

std::string ClassNameOf(HWND window, int bufferSize) {
  char buffer[500];
  const int n = GetClassNameA(window, buffer, bufferSize);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

class MouseHookEnv final : public MouseEnv {
 public:
  MouseHookEnv(const ModVendrolixIE& state, HWND target) : state_(state), target_(target) {}
  std::string TargetClassName() override { return ClassNameOf(target_, 250); }
  std::string PopupText() override { return ReadRegString(kSettingsKey, value::Popup); }
  bool CursorIsFrameCursor() override { return reinterpret_cast<std::uintptr_t>(GetCursor()) == state_.FrameCursor; }
  std::int32_t Now() override { return NowStamp(); }

 private:
  const ModVendrolixIE& state_;
  HWND target_;
};

// The scan's EnumWindows callback: always goes on enumerating.
BOOL CALLBACK DialogEnumProc(HWND window, LPARAM visit) {
  (*reinterpret_cast<const std::function<void(std::intptr_t)>*>(visit))(reinterpret_cast<std::intptr_t>(window));
  return TRUE;
}

HWND AsWindow(std::intptr_t handle) { return reinterpret_cast<HWND>(handle); }

class MessageHookEnv final : public DialogEnv {
 public:
  explicit MessageHookEnv(const ModVendrolixIE& state) : state_(state) {}
  std::string ReadSetting(const char* name) override { return ReadRegString(kSettingsKey, name); }
  std::string LocationUrl() override { return state_.window.currentUrl; }
  std::int16_t IsBlockedUrl(const std::string& url) override { return helper::IsBlockedUrl(state_.AppPath, url); }
  bool CtrlDown() override { return GetKeyState(VK_CONTROL) < 0; }
  std::int32_t Now() override { return NowStamp(); }
  void CancelWindow() override {}
  void PlayWave() override { PlayBlockWave(state_.AppPath); }
  void Beep() override { ::Beep(150, 200); }
  void PostClick(std::int32_t window) override { PostButtonClick(window); }
  std::intptr_t FindDialogFrame() override {
    return reinterpret_cast<std::intptr_t>(FindWindowA(kDialogClass, nullptr));
  }
  bool EnumTopLevel(const std::function<void(std::intptr_t)>& visit) override {
    return EnumWindows(DialogEnumProc, reinterpret_cast<LPARAM>(&visit)) != FALSE;
  }
  std::intptr_t OwnerOf(std::intptr_t window) override {
    return reinterpret_cast<std::intptr_t>(GetParent(AsWindow(window)));
  }
  std::string ClassNameOf(std::intptr_t window) override { return helper::ClassNameOf(AsWindow(window), 500); }
  void CloseDialog(std::intptr_t window) override { PostMessageA(AsWindow(window), WM_CLOSE, 0, 0); }

 private:
  const ModVendrolixIE& state_;
};

}  // namespace

LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  ModVendrolixIE& state = ThreadState();
  if (nCode >= 0 && lParam && (wParam == WM_LBUTTONDOWN || wParam == WM_LBUTTONUP)) {
    MouseHookEnv env(state, reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)->hwnd);
    OnMouseMessage(nCode, static_cast<unsigned>(wParam), state.window.clickStamp, state.ButtonUpStamp, env);
  }
  return CallNextHookEx(state.MouseHook, nCode, wParam, lParam);
}

LRESULT CALLBACK GetMessageHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  ModVendrolixIE& state = ThreadState();
  if (nCode >= 0 && lParam) {
    const UINT message = reinterpret_cast<const MSG*>(lParam)->message;
    if (message == kDialogMessage || message == kUserMessage) {
      MessageHookEnv env(state);
      OnHookedMessage(nCode, message, state.dialogs, state.window, state.ButtonUpStamp, env);
    }
  }
  return CallNextHookEx(state.MessageHook, nCode, wParam, lParam);
}

void PlayBlockWave(const std::string& appPath) {
  PlaySoundA((appPath + kBlockSoundSuffix).c_str(), nullptr, SND_ASYNC);
}

void PostButtonClick(std::int32_t window) {
  // Posted to no window, the click would land in the browser thread's own
  // queue; a tray that is not running is told nothing.
  if (window == 0) return;
  PostMessageA(reinterpret_cast<HWND>(static_cast<std::intptr_t>(window)), kButtonClickMessage, 0, 0);
}

void StartTray(const std::string& appPath) {
  const std::string program = appPath + "\\" + file::Tray;
  if (!win32::FileExists(program)) return;
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

void CleanIECookies() {
  Microsoft::WRL::ComPtr<ICookieCleaner> cleaner;
  if (FAILED(CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&cleaner)))) return;
  BSTR code = SysAllocString(L"MORVATHELK");
  if (!code) return;
  cleaner->CleanIECookies(&code);
  SysFreeString(code);
}

}  // namespace vendrolix::helper
