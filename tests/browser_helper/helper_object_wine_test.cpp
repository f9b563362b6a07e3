// The helper object in this test's own process, loaded from a copy of the
// DLL and handed the bench's browser object: what it reports to the browser,
// and that neither a release during its quit, a second attach, a browser
// without a frame window nor an unload leaves anything behind.
#include <windows.h>
#include <ocidl.h>
#include <shldisp.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../bench/common/bench_browser.h"
#include "../bench/common/shell_windows_stub.h"
#include "settings.h"
#include "win32/handles.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

using Microsoft::WRL::ComPtr;

const CLSID kHelperClsid = {0xA94EDD52, 0x85B3, 0x472F, {0x8B, 0xC0, 0xD6, 0x51, 0xD7, 0x60, 0xFB, 0xF8}};
const wchar_t* const kBrowserPath = L"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
const wchar_t* const kShellPath = L"C:\\Windows\\EXPLORER.EXE";

// The helper DLL, loaded from a folder without a tray beside it.
class LoadedHelper : public test::LoadedServer {
 public:
  explicit LoadedHelper(const std::string& path) : LoadedServer(path, kHelperClsid) {}
  ComPtr<IObjectWithSite> Create() const { return LoadedServer::Create<IObjectWithSite>(); }
};

// The shell's window collection for the helper's recount: lists no window,
// and runs onCount while the helper waits for the count, as a call out of
// the process lets other calls in.
class ShellWindows final : public bench::ShellWindowsStub, public IClassFactory {
 public:
  std::function<void()> onCount;
  int counts = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
    } else if (riid == IID_IDispatch || riid == IID_IShellWindows) {
      *ppv = static_cast<IShellWindows*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  // Lives as long as the test.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    return riid == IID_IClassFactory ? E_NOINTERFACE : QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    ++counts;
    if (onCount) onCount();
    *count = 0;
    return S_OK;
  }
};

class HelperObject : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<test::ScratchFolder>("helper-object");
    ASSERT_TRUE(CopyFileA(test::WinePath(test::Arg("dll")).c_str(), Dll().c_str(), FALSE));
  }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Dll() { return folder_->File(file::BrowserHelper); }

  void SetUp() override {
    settings_.Set(value::AutoClean, "0");
    frame_ = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(CoRegisterClassObject(CLSID_ShellWindows, static_cast<IClassFactory*>(&shell_), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &shellCookie_),
              S_OK);
  }
  void TearDown() override {
    CoRevokeClassObject(shellCookie_);
    DestroyWindow(frame_);
  }

  ComPtr<bench::BenchBrowser> Browser(const wchar_t* fullName = kBrowserPath, HRESULT hwnd = S_OK) {
    ComPtr<bench::BenchBrowser> browser;
    browser.Attach(new bench::BenchBrowser(frame_, fullName));
    browser->hwndResult = hwnd;
    return browser;
  }

  static std::unique_ptr<test::ScratchFolder> folder_;
  win32::ScopedCoInit com_;
  test::SettingsKey settings_;
  HWND frame_ = nullptr;
  ShellWindows shell_;
  DWORD shellCookie_ = 0;
};

std::unique_ptr<test::ScratchFolder> HelperObject::folder_;

TEST_F(HelperObject, GetSiteAnswersAsTheSiteDoes) {
  LoadedHelper helper(Dll());
  ASSERT_TRUE(helper.loaded());
  auto object = helper.Create();
  ASSERT_TRUE(object);
  auto browser = Browser(kShellPath);
  ASSERT_EQ(object->SetSite(static_cast<IWebBrowser2*>(browser.Get())), S_OK);
  ComPtr<IWebBrowser2> site;
  EXPECT_EQ(object->GetSite(IID_PPV_ARGS(&site)), S_OK);
  EXPECT_EQ(site.Get(), static_cast<IWebBrowser2*>(browser.Get()));
  ComPtr<IShellWindows> notThere;
  EXPECT_EQ(object->GetSite(IID_PPV_ARGS(&notThere)), E_NOINTERFACE);
  EXPECT_EQ(notThere, nullptr);
  EXPECT_EQ(object->GetSite(IID_IUnknown, nullptr), E_POINTER);
  object->SetSite(nullptr);
}

TEST_F(HelperObject, QuitLeavesNoHookWhateverTheAttach) {
  const struct {
    const char* name;
    int attaches;
    HRESULT hwnd;  // what the browser answers for its frame window
  } cases[] = {
      {"one attach", 1, S_OK},
      {"a second attach on the same thread", 2, S_OK},
      {"a browser without a frame window", 1, E_FAIL},
  };
  LoadedHelper helper(Dll());
  ASSERT_TRUE(helper.loaded());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto browser = Browser(kBrowserPath, c.hwnd);
    auto object = helper.Create();
    for (int i = 0; i < c.attaches; ++i) object->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
    const int counted = shell_.counts;
    browser->FireOnQuit();
    EXPECT_EQ(shell_.counts, counted + 1) << "the quit did not recount";
    object->SetSite(nullptr);
    object.Reset();
    EXPECT_EQ(helper.CanUnloadNow(), S_OK) << "a hook or the object is left";
  }
}

TEST_F(HelperObject, ABrowserReleasingItDuringItsQuitDoesNotPullItAway) {
  LoadedHelper helper(Dll());
  ASSERT_TRUE(helper.loaded());
  auto browser = Browser();
  browser->holdSinksWhileFiring = false;
  auto object = helper.Create();
  object->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
  HRESULT whileQuitting = E_UNEXPECTED;
  shell_.onCount = [&] {
    object->SetSite(nullptr);
    object.Reset();
    whileQuitting = helper.CanUnloadNow();
  };
  browser->FireOnQuit();
  shell_.onCount = nullptr;
  EXPECT_EQ(whileQuitting, S_FALSE) << "the object went while its quit still ran";
  EXPECT_EQ(helper.CanUnloadNow(), S_OK);
}

// A site that is no browser: attached to it, a helper stays passive, and
// nothing of the site's lies on the heap.
class NoBrowser final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST_F(HelperObject, AnUnloadLeavesNothingBehind) {
  // Each thread attaches a helper, which gives the thread its state, and
  // still runs when the DLL goes, so that state never sees its thread end.
  const auto cycle = [&](int threads) {
    LoadedHelper helper(Dll());
    if (!helper.loaded()) return false;
    win32::UniqueKernelHandle go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::vector<std::thread> running;
    std::vector<win32::UniqueKernelHandle> ready;
    for (int i = 0; i < threads; ++i) {
      ready.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      running.emplace_back([&, done = ready.back().get()] {
        {
          win32::ScopedCoInit com;
          NoBrowser site;
          if (auto object = helper.Create()) {
            object->SetSite(&site);
            object->SetSite(nullptr);
          }
        }
        SetEvent(done);
        WaitForSingleObject(go.get(), 30000);
      });
    }
    for (auto& event : ready) WaitForSingleObject(event.get(), 30000);
    const bool unloadable = helper.CanUnloadNow() == S_OK;
    helper.Unload();
    SetEvent(go.get());
    for (auto& thread : running) thread.join();
    return unloadable;
  };
  constexpr int kThreads = 16;
  constexpr int kCycles = 4;
  ASSERT_TRUE(cycle(kThreads));  // what this program's first threads and load leave for good
  const long long before = test::HeapInUse();
  for (int i = 0; i < kCycles; ++i) ASSERT_TRUE(cycle(kThreads));
  EXPECT_LT(test::HeapInUse() - before, test::LoadLeakBound(kCycles))
      << kCycles << " loads and unloads of the helper, each used on " << kThreads << " threads";
}

}  // namespace
}  // namespace vendrolix
