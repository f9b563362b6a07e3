#include "ModVendrolixIE.h"

#include <mmsystem.h>
#include <objbase.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "blocked_list.h"
#include "hooks.h"
#include "lines.h"
#include "settings.h"
#include "text.h"
#include "win32/bstr.h"
#include "win32/cleaner_call.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/policy_reader.h"
#include "win32/registry.h"

namespace vendrolix::helper {

namespace {

DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;
HMODULE g_module = nullptr;
std::atomic<long> g_hooks{0};

// Every thread's state, linked, so that an unload frees the states of
// threads that still run as well as the unloading thread's own.
struct OwnedState {
  ModVendrolixIE state;
  OwnedState* previous = nullptr;
  OwnedState* next = nullptr;
};
SRWLOCK g_statesLock = SRWLOCK_INIT;
OwnedState* g_states = nullptr;

// Only when memory ran out: shared, but never a crash. Made with the DLL:
// a function's static would be made on first use under a lock of the
// runtime's thread library, which leaves its record of that thread behind
// when the thread outlives the DLL. (No thread_local either: its destructors
// would outlive a DLL that COM unloads.)
ModVendrolixIE g_fallback;

void Link(OwnedState* owned) {
  AcquireSRWLockExclusive(&g_statesLock);
  owned->next = g_states;
  if (g_states) g_states->previous = owned;
  g_states = owned;
  ReleaseSRWLockExclusive(&g_statesLock);
}

void Unlink(OwnedState* owned) {
  AcquireSRWLockExclusive(&g_statesLock);
  if (owned->previous) owned->previous->next = owned->next;
  if (owned->next) owned->next->previous = owned->previous;
  if (g_states == owned) g_states = owned->next;
  ReleaseSRWLockExclusive(&g_statesLock);
}

// A thread's state goes; hooks it still counted went with its thread.
void Free(OwnedState* owned) {
  g_hooks -= owned->state.liveHooks;
  delete owned;
}

// The helper's reads and writes use the same buffer size and registry view
// as the rest of the suite.
constexpr std::size_t kReadBufferSize = 255;

}  // namespace

bool InitThreadStates() {
  g_tlsSlot = TlsAlloc();
  return g_tlsSlot != TLS_OUT_OF_INDEXES;
}

void FreeThreadStates() {
  // The DLL is unloaded, which COM does only while no object and no hook is
  // left: no other thread uses its state any more.
  AcquireSRWLockExclusive(&g_statesLock);
  OwnedState* owned = g_states;
  g_states = nullptr;
  ReleaseSRWLockExclusive(&g_statesLock);
  while (owned) {
    OwnedState* next = owned->next;
    Free(owned);
    owned = next;
  }
  if (g_tlsSlot != TLS_OUT_OF_INDEXES) TlsFree(g_tlsSlot);
  g_tlsSlot = TLS_OUT_OF_INDEXES;
}

ModVendrolixIE& ThreadState() {
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) return g_fallback;
  auto* owned = static_cast<OwnedState*>(TlsGetValue(g_tlsSlot));
  if (!owned) {
    owned = new (std::nothrow) OwnedState();
    if (!owned) return g_fallback;
    TlsSetValue(g_tlsSlot, owned);
    Link(owned);
  }
  return owned->state;
}

void ReleaseThreadState() {
  if (g_tlsSlot == TLS_OUT_OF_INDEXES) return;
  auto* owned = static_cast<OwnedState*>(TlsGetValue(g_tlsSlot));
  if (!owned) return;
  TlsSetValue(g_tlsSlot, nullptr);
  Unlink(owned);
  // A thread that ends without its window's quit takes its hooks with it.
  Free(owned);
}

long InstalledHooks() { return g_hooks; }

void InstallHooks(ModVendrolixIE& state) {
  state.MouseHook = SetWindowsHookExA(WH_MOUSE, MouseHookProc, nullptr, state.ThreadId);
  if (state.MouseHook) ++state.liveHooks, ++g_hooks;
  state.MessageHook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHookProc, nullptr, state.ThreadId);
  if (state.MessageHook) ++state.liveHooks, ++g_hooks;
}

void RemoveHooks(ModVendrolixIE& state) {
  // A removed hook's handle is forgotten: the system may give it to another
  // hook, which a later removal must not take away.
  if (state.MouseHook && UnhookWindowsHookEx(state.MouseHook)) {
    --state.liveHooks, --g_hooks;
    state.MouseHook = nullptr;
  }
  if (state.MessageHook && UnhookWindowsHookEx(state.MessageHook)) {
    --state.liveHooks, --g_hooks;
    state.MessageHook = nullptr;
  }
}

HMODULE ThisModule() { return g_module; }
void SetThisModule(HMODULE module) { g_module = module; }

std::string SettingsReader::Read(const char* name) {
  const std::optional<std::string> text = ReadStored(name);
  return text ? Trim(*text) : "1";
}

namespace {

// The kept key of that index (ModVendrolixIE::settingsKeys), opened by open
// only when missing: a read through a kept key builds no path. A key
// deleted since is opened again.
template <class Open>
LONG QueryKept(win32::UniqueHKey& key, const Open& open, const char* name, std::string& text) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!key) key = open();
    if (!key) return ERROR_FILE_NOT_FOUND;
    const LONG status = win32::QueryRegText(key.get(), name, kReadBufferSize, text);
    if (status != ERROR_KEY_DELETED) return status;
    key.reset();
  }
  return ERROR_KEY_DELETED;
}

}  // namespace

std::optional<std::string> SettingsReader::ReadStored(const char* name) {
  const char* machineKey = SettingsKeyOf(name);
  const int machine = machineKey == kBrowserKey ? 1 : machineKey == kManagerKey ? 2 : 0;
  const SettingPlace place = PlaceOf(name);
  std::string text;
  if (place != SettingPlace::Machine) {
    const int own = place == SettingPlace::User ? 3 : place == SettingPlace::UserLow ? 4 : 5;
    const LONG status = QueryKept(
        state_.settingsKeys[own], [name] { return win32::OpenSettingKey(name, KEY_QUERY_VALUE); }, name, text);
    if (status == ERROR_SUCCESS) return text;
    // A user without a choice of their own has the machine's.
    if (place != SettingPlace::User || status != ERROR_FILE_NOT_FOUND) return std::nullopt;
  }
  const auto openMachine = [machineKey] { return win32::OpenSuiteKey(HKEY_LOCAL_MACHINE, machineKey, KEY_QUERY_VALUE); };
  if (QueryKept(state_.settingsKeys[machine], openMachine, name, text) == ERROR_SUCCESS) return text;
  return std::nullopt;
}

void WriteRegString(const char* name, const std::string& value) { win32::WriteSettingText(name, value); }

namespace {

// The user's list key, kept open for the thread's next block; made when
// missing (low integrity may make it below AppDataLow). Null when neither.
HKEY BlockedListKey(ModVendrolixIE& state) {
  if (!state.blockedListKey) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kBlockedListKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | win32::kSuiteView, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      state.blockedListKey.reset(key);
    }
  }
  return state.blockedListKey.get();
}

// The stored list; nullopt when it cannot be read (then nothing is written
// over it). A text over the bound is no list, and is replaced.
std::optional<std::string> ReadBlockedList(ModVendrolixIE& state) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const HKEY key = BlockedListKey(state);
    if (!key) return std::nullopt;
    std::string stored;
    const LONG status = win32::QueryRegText(key, kBlockedListValue, kBlockedListBytes + 1, stored);
    if (status == ERROR_SUCCESS) return stored;
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA) return std::string();
    if (status != ERROR_KEY_DELETED) return std::nullopt;
    state.blockedListKey.reset();
  }
  return std::nullopt;
}

void WriteUserText(ModVendrolixIE& state, const char* name, const std::string& text) {
  const HKEY key = BlockedListKey(state);
  if (!key) return;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}

std::atomic<UINT> g_openBlockedMessage{0};

}  // namespace

void RecordBlockedWindow(ModVendrolixIE& state, const std::string& site, const std::string& target) {
  const std::optional<std::string> stored = ReadBlockedList(state);
  if (!stored) return;
  BlockedEntry entry;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  entry.time = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  entry.frame = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(state.FrameWindow));
  entry.host = site;
  entry.address = target;
  WriteUserText(state, kBlockedListValue, AddBlocked(*stored, std::move(entry)));
  // Written only when it holds something else: a page that keeps opening
  // pop-ups costs the browser a read, not a second write, per block.
  std::string last;
  if (win32::ReadRegText(BlockedListKey(state), value::LastBlocked, kSiteLimit + 1, last) && last == site) return;
  WriteUserText(state, value::LastBlocked, site);
}

UINT OpenBlockedMessage() {
  UINT message = g_openBlockedMessage;
  if (message == 0) {
    message = RegisterWindowMessageA(kOpenBlockedMessage);
    g_openBlockedMessage = message;
  }
  return message;
}

namespace {

// The white list as last read whole, for the requests after it: under Wine
// its open, read and close are most of what the browser waits for at every
// new window, while its stamp is read without a round trip to the server.
// One copy for the process (every window reads the same file).
struct KeptWhiteList {
  std::string path;
  WIN32_FILE_ATTRIBUTE_DATA stamp{};
  std::shared_ptr<const std::string> content;
};
SRWLOCK g_keptListLock = SRWLOCK_INIT;
KeptWhiteList g_keptList;

// Bigger lists are read from the file each time, as they were before any
// copy was kept: the browser process holds no more than this for them.
constexpr std::uint64_t kKeptListLimit = 1 << 20;

// A file written this recently (100 ns units) may be written again within
// the same tick of its file system's clock (two seconds on FAT) and keep its
// stamp; it is read afresh until its stamp is older than that.
constexpr std::uint64_t kSettledAge = 3ull * 10000000;

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool SameStamp(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
  return a.dwFileAttributes == b.dwFileAttributes && Ticks(a.ftCreationTime) == Ticks(b.ftCreationTime) &&
         Ticks(a.ftLastWriteTime) == Ticks(b.ftLastWriteTime) && a.nFileSizeHigh == b.nFileSizeHigh &&
         a.nFileSizeLow == b.nFileSizeLow;
}

std::shared_ptr<const std::string> KeptCopy(const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& stamp) {
  AcquireSRWLockShared(&g_keptListLock);
  std::shared_ptr<const std::string> content;
  if (g_keptList.content && g_keptList.path == path && SameStamp(g_keptList.stamp, stamp)) content = g_keptList.content;
  ReleaseSRWLockShared(&g_keptListLock);
  return content;
}

void Keep(const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& stamp, std::shared_ptr<const std::string> content) {
  KeptWhiteList kept{path, stamp, std::move(content)};
  AcquireSRWLockExclusive(&g_keptListLock);
  std::swap(g_keptList, kept);
  ReleaseSRWLockExclusive(&g_keptListLock);
}

// The kept list's stamp, taken before its content is read: a write between
// the two leaves a newer stamp, so the copy is never used with a stamp it
// does not have. False for a file that cannot be kept.
bool KeepableStamp(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& stamp) {
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &stamp)) return false;
  if (stamp.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  const std::uint64_t size = (static_cast<std::uint64_t>(stamp.nFileSizeHigh) << 32) | stamp.nFileSizeLow;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t written = Ticks(stamp.ftLastWriteTime);
  return size <= kKeptListLimit && written <= Ticks(now) && Ticks(now) - written >= kSettledAge;
}

std::int16_t LookUpIn(const std::string& content, const std::string& url) {
  LineReader lines(TextSource(content), kWhiteListLineLimit);
  return WhiteListLookupOf([&lines](std::string_view& line) { return lines.Next(line); }, url);
}

}  // namespace

std::int16_t IsBlockedUrl(const std::string& appPath, const std::string& url) {
  // A list that cannot be read, whatever the reason, lets nothing through.
  try {
    const std::string path = appPath + "\\" + file::WhiteList;
    WIN32_FILE_ATTRIBUTE_DATA stamp{};
    if (KeepableStamp(path, stamp)) {
      if (const auto kept = KeptCopy(path, stamp)) return LookUpIn(*kept, url);
      std::string content;
      if (win32::ReadWholeFile(path, content, kKeptListLimit)) {
        auto shared = std::make_shared<const std::string>(std::move(content));
        Keep(path, stamp, shared);
        return LookUpIn(*shared, url);
      }
    }
    win32::TextFileReader reader(path, win32::TextFileReader::OpenMode::CreateIfMissing, kWhiteListLineLimit);
    if (!reader.is_open()) return 1;
    return WhiteListLookupOf([&reader](std::string_view& line) { return reader.Next(line); }, url);
  } catch (...) {
    return 1;
  }
}

void ForgetWhiteList() { Keep(std::string(), WIN32_FILE_ATTRIBUTE_DATA{}, nullptr); }

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

// The scan's EnumWindows callback: goes on enumerating, unless the visit
// failed, which fails the scan (nothing is judged on half a list).
BOOL CALLBACK DialogEnumProc(HWND window, LPARAM visit) {
  try {
    (*reinterpret_cast<const std::function<void(std::intptr_t)>*>(visit))(reinterpret_cast<std::intptr_t>(window));
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

HWND AsWindow(std::intptr_t handle) { return reinterpret_cast<HWND>(handle); }

}  // namespace

std::int16_t HelperEnv::IsBlockedUrl(const std::string& url) { return helper::IsBlockedUrl(state_.AppPath, url); }
Policy HelperEnv::ReadPopupPolicy() { return win32::ReadPolicy(kPolicyLevel | kPolicyAllowList); }
bool HelperEnv::CtrlDown() { return GetKeyState(VK_CONTROL) < 0; }
std::int32_t HelperEnv::Now() { return NowStamp(); }
void HelperEnv::PlayWave() { PlayBlockWave(state_.AppPath); }
void HelperEnv::Beep() { ::Beep(kBlockBeepHz, kBlockBeepMs); }
void HelperEnv::RecordBlocked(const std::string& site, const std::string& target) {
  RecordBlockedWindow(state_, site, target);
}
void HelperEnv::PostClick(std::int32_t window) {
  PostTrayClick(window, kBlockCaption, state_.AppPath, &state_.blockButton);
}

std::string HelperEnv::LocationUrl() {
  const std::string known = window_ ? window_->CurrentUrl : std::string();
  BSTR url = nullptr;
  if (!browser_ || FAILED(browser_->get_LocationURL(&url))) return known;
  std::string text = win32::FromBstr(url);
  SysFreeString(url);
  return text;
}

void HelperEnv::CancelWindow() {
  if (cancel_) *cancel_ = VARIANT_TRUE;
}

std::intptr_t HelperEnv::FindDialogFrame() {
  return reinterpret_cast<std::intptr_t>(FindWindowA(kDialogClass, nullptr));
}
bool HelperEnv::EnumTopLevel(const std::function<void(std::intptr_t)>& visit) {
  return EnumWindows(DialogEnumProc, reinterpret_cast<LPARAM>(&visit)) != FALSE;
}
std::intptr_t HelperEnv::OwnerOf(std::intptr_t window) {
  return reinterpret_cast<std::intptr_t>(GetParent(AsWindow(window)));
}
std::string HelperEnv::ClassNameOf(std::intptr_t window) { return helper::ClassNameOf(AsWindow(window), 500); }
void HelperEnv::CloseDialog(std::intptr_t window) { PostMessageA(AsWindow(window), WM_CLOSE, 0, 0); }

std::string HelperEnv::ReadBlockedList() { return helper::ReadBlockedList(state_).value_or(std::string()); }
void HelperEnv::WriteBlockedList(const std::string& stored) { WriteUserText(state_, kBlockedListValue, stored); }

bool HelperEnv::OpenInNewWindow(const std::string& address) {
  if (!state_.browser) return false;
  VARIANT url, flags, empty;
  VariantInit(&url);
  VariantInit(&flags);
  VariantInit(&empty);
  url.vt = VT_BSTR;
  url.bstrVal = win32::AllocBstr(address);
  if (!url.bstrVal) return false;
  flags.vt = VT_I4;
  flags.lVal = navOpenInNewWindow;
  const HRESULT result = state_.browser->Navigate2(&url, &flags, &empty, &empty, &empty);
  VariantClear(&url);
  return SUCCEEDED(result);
}

std::string HelperEnv::TargetClassName() { return helper::ClassNameOf(target_, 250); }
// Read at every release, so the level alone of the policies.
std::string HelperEnv::PopupText() { return PopupInForce(*this, win32::ReadPolicy(kPolicyLevel)); }
bool HelperEnv::CursorIsFrameCursor() {
  return reinterpret_cast<std::uintptr_t>(GetCursor()) == state_.FrameCursor;
}

// A failure inside a hook costs this message its stamp or its scan; the
// message itself always goes on.
LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  ModVendrolixIE& state = ThreadState();
  if (nCode >= 0 && lParam && state.window && (wParam == WM_LBUTTONDOWN || wParam == WM_LBUTTONUP)) {
    try {
      HelperEnv env(state, nullptr, nullptr, nullptr, reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)->hwnd);
      OnMouseMessage(nCode, static_cast<unsigned>(wParam), *state.window, state.ButtonUpStamp, env);
    } catch (...) {
    }
  }
  return CallNextHookEx(state.MouseHook, nCode, wParam, lParam);
}

LRESULT CALLBACK GetMessageHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  ModVendrolixIE& state = ThreadState();
  if (nCode >= 0 && lParam && state.window) {
    MSG& msg = *reinterpret_cast<MSG*>(lParam);
    const UINT message = msg.message;
    // The tray's request, to this window's own frame only, taken once as it
    // leaves the queue; the frame itself need not see it.
    if (message == OpenBlockedMessage() && message != 0 && wParam == PM_REMOVE && msg.hwnd &&
        msg.hwnd == state.FrameWindow) {
      msg.message = WM_NULL;
      try {
        HelperEnv env(state);
        OnOpenBlocked(*state.window, static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(msg.hwnd)),
                      static_cast<std::uint32_t>(msg.wParam), env);
      } catch (...) {
      }
    } else if (message == kDialogMessage || message == kUserMessage) {
      try {
        HelperEnv env(state);
        OnHookedMessage(nCode, message, state.dialogs, *state.window, state.ButtonUpStamp, env);
      } catch (...) {
      }
    }
  }
  return CallNextHookEx(state.MessageHook, nCode, wParam, lParam);
}

void PlayBlockWave(const std::string& appPath) {
  PlaySoundA((appPath + kBlockSoundSuffix).c_str(), nullptr, SND_ASYNC);
}

bool IsTrayButton(HWND window, const char* caption, const std::string& appPath) {
  char text[32];
  const int classLength = GetClassNameA(window, text, sizeof text);
  if (classLength <= 0 || !EqualsNoCase(std::string_view(text, static_cast<std::size_t>(classLength)), kButtonClass)) {
    return false;
  }
  // Never this process: the tray runs apart, and asking a window of another
  // thread here for its text could wait on that thread.
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(window, &processId) || processId == GetCurrentProcessId()) return false;
  const int captionLength = GetWindowTextA(window, text, sizeof text);
  if (captionLength <= 0 || std::string_view(text, static_cast<std::size_t>(captionLength)) != caption) return false;
  // Limited query rights are all a low-integrity browser has toward the tray.
  win32::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return false;
  char path[1024];
  DWORD size = sizeof path;
  if (!QueryFullProcessImageNameA(process.get(), 0, path, &size)) return false;
  return IsTrayProgram(std::string_view(path, size), appPath);
}

void PostTrayClick(std::int32_t window, const char* caption, const std::string& appPath, CheckedTrayButton* checked) {
  // Posted to no window, the click would land in the browser thread's own
  // queue; a tray that is not running is told nothing.
  if (window == 0) return;
  const HWND target = reinterpret_cast<HWND>(static_cast<std::intptr_t>(window));
  DWORD processId = 0;
  const bool known = checked && checked->window == target && GetWindowThreadProcessId(target, &processId) &&
                     processId == checked->processId;
  if (!known) {
    if (checked) *checked = CheckedTrayButton{};
    if (!IsTrayButton(target, caption, appPath)) return;
    if (checked && GetWindowThreadProcessId(target, &processId)) *checked = CheckedTrayButton{target, processId};
  }
  PostMessageA(target, kButtonClickMessage, 0, 0);
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
  win32::CookieCleanerCall cleaner;
  if (cleaner.Create()) cleaner.CleanIECookies();
}

}  // namespace vendrolix::helper
