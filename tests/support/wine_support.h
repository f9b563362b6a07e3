// Helpers for tests that run under Wine: the settings key of the prefix,
// other processes, waiting for something to happen.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <thread>
#include <vector>

#include "browser_process.h"
#include "time_scale.h"
#include "win32/handles.h"

namespace vendrolix::test {

// Registry access for test set-up and inspection, in the same 32-bit view the
// suite uses unless another is given. Unlike the suite, tests may create and
// delete keys.
void CreateKey(HKEY root, const std::string& subKey, REGSAM view = KEY_WOW64_32KEY);
void DeleteKeyTree(HKEY root, const std::string& subKey, REGSAM view = KEY_WOW64_32KEY);
bool KeyExists(HKEY root, const std::string& subKey, REGSAM view = KEY_WOW64_32KEY);
void SetText(HKEY root, const std::string& subKey, const std::string& name, const std::string& value);
// Raw bytes as REG_SZ, for values written without a terminator or oversize.
void SetRawText(HKEY root, const std::string& subKey, const std::string& name, const std::string& bytes);
void SetDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value);
// "" names the key's default value.
std::optional<std::string> GetText(HKEY root, const std::string& subKey, const std::string& name,
                                   REGSAM view = KEY_WOW64_32KEY);
std::optional<DWORD> GetDword(HKEY root, const std::string& subKey, const std::string& name,
                              REGSAM view = KEY_WOW64_32KEY);
void DeleteValue(HKEY root, const std::string& subKey, const std::string& name);

// A key's security as SDDL text, of the parts `parts` names (for example
// DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION); nullopt when the
// key cannot be opened or read.
std::optional<std::string> KeySecurity(HKEY root, const std::string& subKey, SECURITY_INFORMATION parts,
                                       REGSAM view = KEY_WOW64_32KEY);
// The same SDDL text as the system writes it back: two descriptors compare
// equal as texts only in this form.
std::optional<std::string> CanonicalSddl(const std::string& sddl, SECURITY_INFORMATION parts);

// While it lives, the key grants everyone read access and nothing else: a
// user without write access to it, as Wine lets a test make one (Wine
// enforces registry access lists, not integrity levels). The key's own
// access list comes back when the object goes, before anything needs to
// delete the key.
class ReadOnlyKey {
 public:
  ReadOnlyKey(HKEY root, std::string subKey, REGSAM view = KEY_WOW64_32KEY);
  ~ReadOnlyKey();
  ReadOnlyKey(const ReadOnlyKey&) = delete;
  ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
  // False when the access list could not be set: the test has nothing to show.
  bool applied() const { return applied_; }

 private:
  HKEY root_;
  std::string subKey_;
  REGSAM view_;
  std::string saved_;  // the key's own access list, as SDDL
  bool applied_ = false;
};

// The settings key and its two subkeys, read-only so.
class ReadOnlySettings {
 public:
  ReadOnlySettings();
  bool applied() const { return settings_.applied() && browser_.applied() && manager_.applied(); }

 private:
  ReadOnlyKey settings_, browser_, manager_;
};

// The browser helper's class, and its listing under Internet Explorer's
// Browser Helper Objects in this test program's registry view: the browser
// stand-in reads the view of its own bitness, which is the test program's.
inline constexpr const char* kHelperClsid = "{A94EDD52-85B3-472F-8BC0-D651D760FBF8}";
bool ListBrowserHelper(bool listed);

// The settings key, emptied for each test that uses it.
class SettingsKey {
 public:
  // present: the key exists (empty) for the test; otherwise it is absent.
  explicit SettingsKey(bool present = true);
  ~SettingsKey();
  // Where the programs read and write each value (its place): a user's
  // value is set as the user's own choice and read as the programs read it
  // (the user's, else the machine's default); Remove takes both copies.
  void Set(const std::string& name, const std::string& value) const;
  std::optional<std::string> Get(const std::string& name) const;
  void Remove(const std::string& name) const;
  // The machine-wide copy: a user's value's default.
  void SetMachine(const std::string& name, const std::string& value) const;

 private:
  bool makerExisted_;
};

struct ProcessResult {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
  // The program ended but something it started still held its output
  // childGrace later (finished is then false, and output says so).
  bool outlived = false;
  std::string output;  // stdout and stderr together
};

// Runs a command line and waits for it to end, capturing its output. Never
// waits longer than timeout for the program, then childGrace for what it
// started and left holding its output (both Stretched, as are WaitUntil's).
ProcessResult RunProcess(const std::string& commandLine, std::chrono::milliseconds timeout = std::chrono::seconds(60),
                         std::chrono::milliseconds childGrace = std::chrono::seconds(15));

// A program run by RunProcess on a thread of its own while the test watches
// what it does. The destructor waits for it, so that a failed assertion
// never leaves a thread running.
class BackgroundRun {
 public:
  BackgroundRun(std::string commandLine, std::chrono::milliseconds timeout);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;
  // Waits for the program's end.
  const ProcessResult& Wait();

 private:
  ProcessResult result_;
  std::thread thread_;
};

// A program started for the test to drive through its windows: its output
// is not taken and nothing waits for it. One that still runs when the object
// goes is ended.
class StartedProgram {
 public:
  explicit StartedProgram(const std::string& commandLine, DWORD creationFlags = 0);
  ~StartedProgram() { End(); }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  bool started() const { return process_.valid(); }
  DWORD id() const { return id_; }
  bool Ended() const { return !started() || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
  // Its exit code once it ended.
  std::optional<DWORD> ExitCode() const;
  // Ends it if it still runs, and waits for that.
  void End();

 private:
  win32::UniqueKernelHandle process_;
  DWORD id_ = 0;
};

// The top-level windows for which keep is true, of one process unless
// process is 0, in the system's order.
std::vector<HWND> TopWindows(const std::function<bool(HWND)>& keep, DWORD process = 0);
// Its caption, as far as 1,024 characters.
std::string WindowText(HWND window);
// Ends the process of a window (never this one) and waits for its end: what
// a test started must not outlive it.
void EndProcessOf(HWND window);

// Removes a folder with everything in it; nothing when it is not there.
void RemoveFolderTree(const std::string& path);

// The command line of the bench browser (--iexplore) on a scenario file.
std::string BenchBrowserCommand(const std::string& scenarioFile);

// A Unix path of the build tree as the Windows programs see it (Z:\...).
std::string WinePath(const std::string& unixPath);

// The quoted form of one command-line argument.
std::string Quote(const std::string& argument);

// Polls predicate until it is true or timeout passes; pumps this thread's
// messages between polls so windows of this thread stay responsive.
bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

// A file of a scratch folder below the system's temporary folder, unique per
// test program; the folder is emptied when the object is made.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A network share, \\host\share, as Wine gives it to the programs: the
// prefix's dosdevices\unc\host\share, made empty for the object's life. The
// same folder has a drive-letter path too (Z:\...), so a test can tell a
// path refused for its form from a file that cannot be read.
class UncShare {
 public:
  UncShare(const std::string& host, const std::string& share);
  ~UncShare();
  UncShare(const UncShare&) = delete;
  UncShare& operator=(const UncShare&) = delete;
  const std::string& unc() const { return unc_; }
  const std::string& local() const { return local_; }

 private:
  std::string unc_, local_, made_;
};

// An install folder a test fills: files copied in under their installed
// names, COM servers registered with regsvr32, the browser helper listed.
// When the object goes, the listing and the registration of every server in
// the folder are taken back and the folder removed; stand-ins registered from
// the build tree stay registered.
class BenchInstall : public ScratchFolder {
 public:
  explicit BenchInstall(const std::string& name) : ScratchFolder(name) {}
  ~BenchInstall();
  // "" when done, else what failed. source is a path of the build tree.
  std::string Copy(const std::string& source, const std::string& installedName);
  // server is a Windows path.
  std::string Register(const std::string& server);
  std::string ListHelper();

 private:
  std::vector<std::string> registered_;
  bool listed_ = false;
};

// The browser benches' install: the browser helper (--dll) and the tray
// (--tray) copied in, the helper and the shell window collection's stand-in
// (--shellwindows) registered, with the cleaner double (--cleaner) when
// asked, the helper listed. "" when done, else what failed.
std::string InstallForBrowser(BenchInstall& install, bool withCleaner);

// A test suite whose cases share one browser-bench install, made before the
// first case and taken back after the last. Suite names the install folder
// (kInstallFolder) and whether the cleaner double is registered (kCleaner).
template <class Suite>
class BrowserBenchSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    install_ = std::make_unique<BenchInstall>(Suite::kInstallFolder);
    ASSERT_EQ(InstallForBrowser(*install_, Suite::kCleaner), "");
  }
  static void TearDownTestSuite() { install_.reset(); }

  static inline std::unique_ptr<BenchInstall> install_;
};

// Runs a bench browser (host) on scenario, written to folder's scenario.txt.
// A loaded Wine now and then fails to start a program at all; that says
// nothing about what is tested, so it gets one more try. A crash does not.
ProcessResult RunScenario(const ScratchFolder& folder, const std::string& host, const std::string& scenario,
                          std::chrono::milliseconds timeout);

// A program's output as lines without their line ends, less Wine's own
// diagnostics (":fixme:" and ":err:" lines), which share the stream.
std::vector<std::string> OutputLines(const std::string& output);
// Those of lines whose first word is one of words, in their order.
std::vector<std::string> LinesOf(const std::vector<std::string>& lines, std::initializer_list<const char*> words);

// A bench browser's run of a scenario in a browser-bench install (the
// browser is --iexplore unless host names another): how it ended and its
// answer lines, Wine's diagnostics left out. A tray stand-in that the
// scenario's "reg hForm" named is stopped before this returns.
struct BenchRun {
  ProcessResult process;
  std::vector<std::string> lines;
  double seconds = 0;  // the browser's run alone
  bool endedWell() const { return process.finished && process.exitCode == 0; }
  // The lines whose first word is one of words.
  std::vector<std::string> Of(std::initializer_list<const char*> words) const { return LinesOf(lines, words); }
  // How many lines begin with start.
  std::size_t Count(const std::string& start) const;
};
BenchRun RunBench(const ScratchFolder& install, const std::string& scenario, std::chrono::milliseconds timeout,
                  const std::string& host = "");
// What a bench scenario does first: a browser window W1 opened, time for the
// helper to start the tray, and the tray's form named ("reg hForm").
inline constexpr const char* kBenchStart = "open W1\nsleep 1500\nreg hForm\n";

// A window's handle as the settings hold it: its 32-bit number in decimal.
std::string HandleText(HWND window);

// Ends the tray stand-in a helper started, by a click of its form, whose
// handle is given as the settings hold it; nothing when that window is gone.
void StopTrayStandIn(const std::string& formText);


// The value of this program's "--name=value" argument; "" when it has none.
std::string Arg(const std::string& name);

// The prefix's Internet Explorer cookie store, through the platform's own
// cookie calls in a process of their own: the store_cookies program named by
// --store-cookies, with these arguments (its own comment lists them).
ProcessResult StoreCookies(const std::string& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(60));
// A persistent cookie for a site's address ("http://host/path").
std::string PersistentCookie(const std::string& url, const std::string& nameValue);
// The cookie entries the store lists, as "user@host/path" (without
// "Cookie:"), in its order, and the files that hold their records.
struct StoreEntry {
  std::string site, file;
};
std::vector<StoreEntry> StoreEntries();
// Their sites alone.
std::vector<std::string> StoreSites();
// The user name the store puts before "@".
std::string StoreUser();
// The folder of the store's files, as the store itself writes it into the
// shell folders whenever a program opens it.
std::string StoreFolder();

// The cookie folder of the programs started while it lives: the store
// follows the user's shell folder, the programs read the other one.
class CookieFolder {
 public:
  explicit CookieFolder(const std::string& folder);
  ~CookieFolder();
  CookieFolder(const CookieFolder&) = delete;
  CookieFolder& operator=(const CookieFolder&) = delete;

 private:
  std::optional<std::string> saved_, savedUser_;
};

// False when the bench runs on a machine that cannot execute 32-bit programs
// (the bench then says so in VENDROLIX_WINE_NO32): tests whose work needs a
// 32-bit program beside them skip with kNo32BitSkip. A test program all of
// whose cases skipped so ends with the bench's skip code, so that CTest and
// the closing summary count it as skipped, not as passed.
bool CanRun32BitPrograms();
inline constexpr const char* kNo32BitSkip = "no 32-bit execution";
#define VENDROLIX_SKIP_WITHOUT_32BIT(what)                                                   \
  if (!::vendrolix::test::CanRun32BitPrograms())                                            \
  GTEST_SKIP() << ::vendrolix::test::kNo32BitSkip << ": " << what

// A COM server DLL loaded from a path as COM loads it, its objects made
// through its own class factory; unloaded only once it says it may go.
class LoadedServer {
 public:
  LoadedServer(const std::string& path, const CLSID& classId);
  ~LoadedServer() { Unload(); }
  LoadedServer(const LoadedServer&) = delete;
  LoadedServer& operator=(const LoadedServer&) = delete;

  bool loaded() const { return getClassObject_ && canUnloadNow_; }
  // S_OK once no object, lock or hook of the server is left.
  HRESULT CanUnloadNow() const { return canUnloadNow_(); }
  // The object's interface, or null when it cannot be made.
  template <class Interface>
  Microsoft::WRL::ComPtr<Interface> Create() const {
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    Microsoft::WRL::ComPtr<Interface> object;
    if (loaded() && SUCCEEDED(getClassObject_(classId_, IID_PPV_ARGS(&factory)))) {
      factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
    }
    return object;
  }
  void Unload();

 private:
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
  HMODULE module_;
  CLSID classId_;
  GetClassObjectFn getClassObject_ = nullptr;
  CanUnloadNowFn canUnloadNow_ = nullptr;
};

bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadFileBytes(const std::string& path);

// Bytes in use on the C runtime's heap, which a DLL of the suite shares with
// the program that loads it.
long long HeapInUse();

// An unload must leave nothing of a load behind. This bound is below the
// smallest record the runtime or a DLL of ours keeps (a lock's, 20 bytes in
// a 32-bit process; a thread's state, some hundred bytes) in either bitness,
// so any of them left once per load, or per thread, exceeds it.
inline long long LoadLeakBound(int loads) { return loads * 16LL; }

}  // namespace vendrolix::test
