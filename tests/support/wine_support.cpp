#include "wine_support.h"

#include <malloc.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include <thread>
#include <vector>

#include "settings.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace vendrolix::test {

namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

win32::UniqueHKey Open(HKEY root, const std::string& subKey, REGSAM access, REGSAM view = kView) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, access | view, &key) != ERROR_SUCCESS) return win32::UniqueHKey();
  return win32::UniqueHKey(key);
}

void DeleteTree(HKEY parent, const std::string& name, REGSAM view) {
  {
    win32::UniqueHKey key = Open(parent, name, KEY_ALL_ACCESS, view);
    if (!key) return;
    for (;;) {
      char child[256];
      DWORD size = sizeof child;
      if (RegEnumKeyExA(key.get(), 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DeleteTree(key.get(), child, view);
      // A child that cannot be deleted would loop forever; stop instead.
      char again[256];
      DWORD againSize = sizeof again;
      if (RegEnumKeyExA(key.get(), 0, again, &againSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
          std::string(again) == child) {
        break;
      }
    }
  }
  RegDeleteKeyExA(parent, name.c_str(), view, 0);
}

}  // namespace

void CreateKey(HKEY root, const std::string& subKey, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

void DeleteKeyTree(HKEY root, const std::string& subKey, REGSAM view) { DeleteTree(root, subKey, view); }

bool KeyExists(HKEY root, const std::string& subKey, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetText(HKEY root, const std::string& subKey, const std::string& name, const std::string& value) {
  CreateKey(root, subKey);
  win32::UniqueHKey key = Open(root, subKey, KEY_ALL_ACCESS);
  if (key) {
    RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
}

void SetRawText(HKEY root, const std::string& subKey, const std::string& name, const std::string& bytes) {
  CreateKey(root, subKey);
  win32::UniqueHKey key = Open(root, subKey, KEY_ALL_ACCESS);
  if (key) {
    RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  }
}

void SetDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value) {
  CreateKey(root, subKey);
  win32::UniqueHKey key = Open(root, subKey, KEY_ALL_ACCESS);
  if (key) RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::optional<std::string> GetText(HKEY root, const std::string& subKey, const std::string& name, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return std::nullopt;
  win32::UniqueHKey key(opened);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  std::vector<char> data(size + 1, '\0');
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::string text(data.data(), size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::optional<DWORD> GetDword(HKEY root, const std::string& subKey, const std::string& name, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return std::nullopt;
  win32::UniqueHKey key(opened);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

void DeleteValue(HKEY root, const std::string& subKey, const std::string& name) {
  win32::UniqueHKey key = Open(root, subKey, KEY_ALL_ACCESS);
  if (key) RegDeleteValueA(key.get(), name.c_str());
}

bool ListBrowserHelper(bool listed) {
  const std::string listing = std::string(kBrowserHelperObjectsKey) + "\\" + kHelperClsid;
  if (!listed) return RegDeleteKeyA(HKEY_LOCAL_MACHINE, listing.c_str()) == ERROR_SUCCESS;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, listing.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

namespace {

std::optional<std::string> SddlOf(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts) {
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, parts, &text, nullptr)) {
    return std::nullopt;
  }
  std::string sddl(text);
  LocalFree(text);
  return sddl;
}

bool SetSecurity(HKEY root, const std::string& subKey, const std::string& sddl, SECURITY_INFORMATION parts,
                 REGSAM view) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  HKEY opened = nullptr;
  bool done = false;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, WRITE_DAC | view, &opened) == ERROR_SUCCESS) {
    done = RegSetKeySecurity(opened, parts, descriptor) == ERROR_SUCCESS;
    RegCloseKey(opened);
  }
  LocalFree(descriptor);
  return done;
}

}  // namespace

std::optional<std::string> KeySecurity(HKEY root, const std::string& subKey, SECURITY_INFORMATION parts,
                                       REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, READ_CONTROL | view, &opened) != ERROR_SUCCESS) return std::nullopt;
  win32::UniqueHKey key(opened);
  DWORD size = 0;
  RegGetKeySecurity(key.get(), parts, nullptr, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (RegGetKeySecurity(key.get(), parts, buffer.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  return SddlOf(buffer.data(), parts);
}

std::optional<std::string> CanonicalSddl(const std::string& sddl, SECURITY_INFORMATION parts) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return std::nullopt;
  }
  auto text = SddlOf(descriptor, parts);
  LocalFree(descriptor);
  return text;
}

ReadOnlyKey::ReadOnlyKey(HKEY root, std::string subKey, REGSAM view)
    : root_(root), subKey_(std::move(subKey)), view_(view) {
  const auto own = KeySecurity(root_, subKey_, DACL_SECURITY_INFORMATION, view_);
  if (!own) return;
  saved_ = *own;
  // Protected, so that nothing inherited from the parent grants more.
  applied_ = SetSecurity(root_, subKey_, "D:P(A;;KR;;;WD)", DACL_SECURITY_INFORMATION, view_);
}

ReadOnlyKey::~ReadOnlyKey() {
  // The owner may always change the access list, whatever it grants.
  if (applied_) SetSecurity(root_, subKey_, saved_, DACL_SECURITY_INFORMATION, view_);
}

ReadOnlySettings::ReadOnlySettings()
    : settings_(HKEY_LOCAL_MACHINE, kSettingsKey),
      browser_(HKEY_LOCAL_MACHINE, kBrowserKey),
      manager_(HKEY_LOCAL_MACHINE, kManagerKey) {}

// The maker's key above the settings key: an installation removes it with
// the settings, so a test that made it must too.
constexpr const char* kMakerKey = "Software\\Tervanic";

namespace {

// The user's own values (and the logon sessions' below them) go with the
// machine's: each test starts with no one's choices.
void DeleteUsersValues() {
  DeleteKeyTree(HKEY_CURRENT_USER, kUserSettingsKey);
  for (const char* name : {value::CountIE, value::LastBlocked}) DeleteValue(HKEY_CURRENT_USER, kUserLowKey, name);
}

}  // namespace

SettingsKey::SettingsKey(bool present) : makerExisted_(KeyExists(HKEY_LOCAL_MACHINE, kMakerKey)) {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  DeleteUsersValues();
  if (!present) return;
  for (const char* key : {kSettingsKey, kBrowserKey, kManagerKey}) CreateKey(HKEY_LOCAL_MACHINE, key);
}

SettingsKey::~SettingsKey() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  DeleteUsersValues();
  // A key with subkeys is never deleted this way: another's stays.
  if (!makerExisted_) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kMakerKey, KEY_WOW64_32KEY, 0);
}

void SettingsKey::Set(const std::string& name, const std::string& value) const {
  win32::WriteSettingText(name.c_str(), value);
}

void SettingsKey::SetMachine(const std::string& name, const std::string& value) const {
  SetText(HKEY_LOCAL_MACHINE, SettingsKeyOf(name.c_str()), name, value);
}

std::optional<std::string> SettingsKey::Get(const std::string& name) const {
  return win32::ReadSettingText(name.c_str(), 1024);
}

void SettingsKey::Remove(const std::string& name) const {
  win32::DeleteSetting(name.c_str());
  DeleteValue(HKEY_LOCAL_MACHINE, SettingsKeyOf(name.c_str()), name);
}

ProcessResult RunProcess(const std::string& commandLine, std::chrono::milliseconds timeout,
                         std::chrono::milliseconds childGrace) {
  timeout = Stretched(timeout);
  childGrace = Stretched(childGrace);
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  win32::UniqueKernelHandle reader(readEnd);
  win32::UniqueKernelHandle writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    return result;
  }
  result.started = true;
  win32::UniqueKernelHandle process(info.hProcess);
  win32::UniqueKernelHandle thread(info.hThread);
  writer.reset();

  // The pipe is read without ever blocking: a program the child started
  // (under Wine even one started without inherited handles) may hold the
  // write end long after the child has gone, and a blocking read would
  // then wait for it without a bound.
  const auto drain = [&]() -> bool {  // false once every writer has gone
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr)) return false;
      if (available == 0) return true;
      char buffer[4096];
      DWORD read = 0;
      if (!ReadFile(reader.get(), buffer, available < sizeof buffer ? available : sizeof buffer, &read, nullptr) ||
          read == 0) {
        return false;
      }
      result.output.append(buffer, read);
    }
  };
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  std::optional<Clock::time_point> ended;
  for (;;) {
    const bool open = drain();
    if (!ended && WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0) {
      ended = Clock::now();
      result.finished = true;
      GetExitCodeProcess(process.get(), &result.exitCode);
    }
    if (ended && !open) break;
    if (ended && Clock::now() - *ended > childGrace) {
      result.finished = false;
      result.outlived = true;
      result.output += "\n[RunProcess: the program ended, but a program it started still holds its output " +
                       std::to_string(childGrace.count() / 1000) + " s later]\n";
      break;
    }
    if (!ended && Clock::now() > deadline) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 5000);
      drain();
      result.output += "\n[RunProcess: the program did not end within " + std::to_string(timeout.count() / 1000) +
                       " s and was ended]\n";
      break;
    }
    if (ended) Sleep(20);
  }
  return result;
}

StartedProgram::StartedProgram(const std::string& commandLine, DWORD creationFlags) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup,
                      &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  id_ = info.dwProcessId;
}

std::optional<DWORD> StartedProgram::ExitCode() const {
  DWORD code = 0;
  if (!started() || !Ended() || !GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
  return code;
}

void StartedProgram::End() {
  if (Ended()) return;
  TerminateProcess(process_.get(), 1);
  WaitForSingleObject(process_.get(), 5000);
}

namespace {
struct WindowSearch {
  const std::function<bool(HWND)>& keep;
  DWORD process;
  std::vector<HWND> found;
};
BOOL CALLBACK VisitTopWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search.process == 0 || owner == search.process) && search.keep(window)) search.found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(const std::function<bool(HWND)>& keep, DWORD process) {
  WindowSearch search{keep, process, {}};
  EnumWindows(&VisitTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  char text[1025] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void EndProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == 0 || process == GetCurrentProcessId()) return;
  win32::UniqueKernelHandle handle(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process));
  if (!handle) return;
  TerminateProcess(handle.get(), 1);
  WaitForSingleObject(handle.get(), 5000);
}

void RemoveFolderTree(const std::string& path) {
  RunProcess("cmd /c rmdir /s /q " + Quote(path), std::chrono::seconds(30));
}

LoadedServer::LoadedServer(const std::string& path, const CLSID& classId)
    : module_(LoadLibraryA(path.c_str())), classId_(classId) {
  if (!module_) return;
  getClassObject_ = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
}

void LoadedServer::Unload() {
  if (module_ && (!canUnloadNow_ || canUnloadNow_() == S_OK)) FreeLibrary(module_);
  module_ = nullptr;
}

std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string Quote(const std::string& argument) { return "\"" + argument + "\""; }

bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + Stretched(timeout);
  for (;;) {
    if (predicate()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(static_cast<DWORD>(interval.count()));
  }
}

ScratchFolder::ScratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  std::string base = n > 0 ? std::string(temp, n) : std::string("C:\\");
  if (base.back() != '\\') base += '\\';
  path_ = base + "vendrolix-" + name;
  RemoveFolderTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveFolderTree(path_); }

UncShare::UncShare(const std::string& host, const std::string& share) : unc_("\\\\" + host + "\\" + share) {
  char prefix[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  std::string path = WinePath(std::string(prefix, n)) + "\\dosdevices";
  for (const std::string& part : {std::string("unc"), host, share}) {
    path += "\\" + part;
    // The first folder this object makes is the one it takes back.
    if (CreateDirectoryA(path.c_str(), nullptr) && made_.empty()) made_ = path;
  }
  local_ = path;
}

UncShare::~UncShare() {
  if (!made_.empty()) RemoveFolderTree(made_);
}

BenchInstall::~BenchInstall() {
  if (listed_) ListBrowserHelper(false);
  for (const std::string& server : registered_) {
    if (server.rfind(path(), 0) == 0) RunProcess("regsvr32 /s /u " + Quote(server));
  }
}

std::string BenchInstall::Copy(const std::string& source, const std::string& installedName) {
  if (CopyFileA(WinePath(source).c_str(), File(installedName).c_str(), FALSE)) return std::string();
  return "cannot copy " + source + " to " + File(installedName);
}

std::string BenchInstall::Register(const std::string& server) {
  const auto result = RunProcess("regsvr32 /s " + Quote(server));
  if (!result.finished || result.exitCode != 0) return "regsvr32 " + server + ": " + result.output;
  registered_.push_back(server);
  return std::string();
}

std::string BenchInstall::ListHelper() {
  listed_ = ListBrowserHelper(true);
  return listed_ ? std::string() : "the helper cannot be listed";
}

std::string InstallForBrowser(BenchInstall& install, bool withCleaner) {
  std::string failure = install.Copy(Arg("dll"), file::BrowserHelper) + install.Copy(Arg("tray"), file::Tray);
  if (failure.empty()) failure = install.Register(install.File(file::BrowserHelper));
  if (failure.empty()) failure = install.Register(WinePath(Arg("shellwindows")));
  if (failure.empty() && withCleaner) failure = install.Register(WinePath(Arg("cleaner")));
  return failure.empty() ? install.ListHelper() : failure;
}

ProcessResult RunScenario(const ScratchFolder& folder, const std::string& host, const std::string& scenario,
                          std::chrono::milliseconds timeout) {
  const std::string path = folder.File("scenario.txt");
  EXPECT_TRUE(WriteFileBytes(path, scenario));
  const std::string command = Quote(WinePath(host)) + " " + Quote(path);
  ProcessResult result = RunProcess(command, timeout);
  if (!result.started) result = RunProcess(command, timeout);
  return result;
}

std::size_t BenchRun::Count(const std::string& start) const {
  std::size_t n = 0;
  for (const std::string& line : lines) n += line.rfind(start, 0) == 0;
  return n;
}

BenchRun RunBench(const ScratchFolder& install, const std::string& scenario, std::chrono::milliseconds timeout,
                  const std::string& host) {
  BenchRun run;
  const auto start = std::chrono::steady_clock::now();
  run.process = RunScenario(install, host.empty() ? Arg("iexplore") : host, scenario, timeout);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.lines = OutputLines(run.process.output);
  for (const std::string& line : run.Of({"reg"})) {
    if (line.rfind("reg hForm ", 0) == 0) StopTrayStandIn(line.substr(std::strlen("reg hForm ")));
  }
  return run;
}

std::string HandleText(HWND window) {
  return std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window)));
}

void StopTrayStandIn(const std::string& formText) {
  HWND form = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(formText.c_str(), nullptr, 10)));
  if (form && IsWindow(form)) {
    PostMessageA(form, kButtonClickMessage, 0, 0);
    WaitUntil([&] { return !IsWindow(form); }, std::chrono::seconds(10));
  }
}

std::vector<std::string> OutputLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(":fixme:") != std::string::npos || line.find(":err:") != std::string::npos) continue;
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> LinesOf(const std::vector<std::string>& lines, std::initializer_list<const char*> words) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    for (const char* word : words) {
      if (line.rfind(std::string(word) + " ", 0) == 0) {
        out.push_back(line);
        break;
      }
    }
  }
  return out;
}

BackgroundRun::BackgroundRun(std::string commandLine, std::chrono::milliseconds timeout)
    : thread_([this, commandLine = std::move(commandLine), timeout] { result_ = RunProcess(commandLine, timeout); }) {}

BackgroundRun::~BackgroundRun() { Wait(); }

const ProcessResult& BackgroundRun::Wait() {
  if (thread_.joinable()) thread_.join();
  return result_;
}

std::string BenchBrowserCommand(const std::string& scenarioFile) {
  return Quote(WinePath(Arg("iexplore"))) + " " + Quote(scenarioFile);
}

std::string Arg(const std::string& name) {
  const std::string prefix = "--" + name + "=";
  for (int i = 1; i < __argc; ++i) {
    if (std::strncmp(__argv[i], prefix.c_str(), prefix.size()) == 0) return __argv[i] + prefix.size();
  }
  return std::string();
}

ProcessResult StoreCookies(const std::string& arguments, std::chrono::milliseconds timeout) {
  return RunProcess(Quote(WinePath(Arg("store-cookies"))) + " " + arguments, timeout);
}

std::string PersistentCookie(const std::string& url, const std::string& nameValue) {
  return Quote(url) + " " + Quote(nameValue + "; expires=Fri, 01 Jan 2038 00:00:00 GMT");
}

std::vector<StoreEntry> StoreEntries() {
  std::vector<StoreEntry> entries;
  // A listing that did not run is no evidence of an empty store; a loaded
  // machine now and then fails to start one, so it is tried again.
  ProcessResult listing;
  for (int attempt = 0; attempt < 3; ++attempt) {
    listing = StoreCookies("list");
    if (listing.finished && listing.exitCode == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (!listing.finished || listing.exitCode != 0) {
    ADD_FAILURE() << "the cookie store could not be listed: " << listing.output;
    return entries;
  }
  for (const std::string& line : OutputLines(listing.output)) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab <= 7 || _strnicmp(line.c_str(), "Cookie:", 7) != 0) continue;
    entries.push_back({line.substr(7, tab - 7), line.substr(tab + 1)});
  }
  return entries;
}

std::vector<std::string> StoreSites() {
  std::vector<std::string> sites;
  for (const StoreEntry& entry : StoreEntries()) sites.push_back(entry.site);
  return sites;
}

std::string StoreUser() {
  char name[257] = {};
  DWORD size = sizeof(name);
  return GetUserNameA(name, &size) ? name : "";
}

namespace {
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The user's shell folders are expandable texts ("%USERPROFILE%\\...").
void SetUserShellFolder(const std::string& value) {
  win32::UniqueHKey key = Open(HKEY_CURRENT_USER, kUserShellFolders, KEY_ALL_ACCESS);
  if (key) {
    RegSetValueExA(key.get(), "Cookies", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
}
}  // namespace

std::string StoreFolder() {
  StoreCookies("list");
  return GetText(HKEY_CURRENT_USER, kShellFolders, "Cookies").value_or("");
}

CookieFolder::CookieFolder(const std::string& folder)
    : saved_(GetText(HKEY_CURRENT_USER, kShellFolders, "Cookies")),
      savedUser_(GetText(HKEY_CURRENT_USER, kUserShellFolders, "Cookies")) {
  SetText(HKEY_CURRENT_USER, kShellFolders, "Cookies", folder);
  SetUserShellFolder(folder);
}

CookieFolder::~CookieFolder() {
  if (saved_) SetText(HKEY_CURRENT_USER, kShellFolders, "Cookies", *saved_);
  if (savedUser_) SetUserShellFolder(*savedUser_);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  win32::UniqueFile file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::string content;
  if (!win32::ReadWholeFile(path, content)) return std::nullopt;
  return content;
}

namespace {

constexpr int kBenchSkipCode = 77;

// Ends a program whose every case skipped for want of 32-bit execution with
// the bench's skip code.
class No32BitSkips final : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    if (unit.test_to_run_count() == 0 || unit.skipped_test_count() != unit.test_to_run_count()) return;
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
      const ::testing::TestSuite& suite = *unit.GetTestSuite(i);
      for (int j = 0; j < suite.total_test_count(); ++j) {
        const ::testing::TestResult& result = *suite.GetTestInfo(j)->result();
        if (!suite.GetTestInfo(j)->should_run()) continue;
        bool no32 = false;
        for (int k = 0; k < result.total_part_count(); ++k) {
          no32 = no32 || std::string_view(result.GetTestPartResult(k).message()).find(kNo32BitSkip) == 0;
        }
        if (!no32) return;
      }
    }
    std::printf("every case skipped: %s\n", kNo32BitSkip);
    std::fflush(stdout);
    std::_Exit(kBenchSkipCode);
  }
};

const bool g_no32BitListener = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new No32BitSkips);
  return true;
}();

}  // namespace

bool CanRun32BitPrograms() {
  (void)g_no32BitListener;
  char value[8];
  return GetEnvironmentVariableA("VENDROLIX_WINE_NO32", value, sizeof value) == 0;
}

long long HeapInUse() {
  const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
  long long used = 0;
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
  }
  HeapUnlock(heap);
  return used;
}

}  // namespace vendrolix::test
