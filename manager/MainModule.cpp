// MainModule: start-up, the state every window shares and the page
// navigation.
#include <windows.h>

#include <memory>

#include "manager_app.h"
#include "white_list.h"
#include "win32/CRegistry.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace vendrolix::manager {
namespace {

ManagerState g_state;
std::unique_ptr<FrmPopupAdvanced> g_advanced;
std::unique_ptr<FrmPopupCookie> g_cookie;

// The running instance holds this name; a second start sees it and ends.
constexpr const char* kInstanceMutex = "Tervanic.VendrolixPro.Instance";

class WindowPages final : public PageHost {
 public:
  TwipsPoint Position(int page) override {
    PageWindow* window = FindPage(page);
    return window ? window->Position() : TwipsPoint{g_state.lngFormLeft, g_state.lngFormTop};
  }
  void Place(int page, TwipsPoint where) override {
    if (PageWindow* window = FindPage(page)) window->MoveTo(where);
  }
  void MakeVisible(int page) override {
    PageWindow* window = FindPage(page);
    if (window && window->hwnd()) {
      ShowWindow(window->hwnd(), SW_SHOW);
      SetForegroundWindow(window->hwnd());
    }
  }
  void Load(int page) override {
    if (PageWindow* window = FindPage(page)) window->Load();
  }
  bool Exists(int page) override {
    PageWindow* window = FindPage(page);
    return window && window->hwnd();
  }
  void Hide(int page) override {
    PageWindow* window = FindPage(page);
    if (window && window->hwnd()) ShowWindow(window->hwnd(), SW_HIDE);
  }
  void Unload(int page) override {
    if (PageWindow* window = FindPage(page)) window->Destroy();
  }
  void EndProgram() override { PostQuitMessage(0); }
};

WindowPages g_pages;

}  // namespace

ManagerState& State() { return g_state; }
PageHost& Pages() { return g_pages; }

PageWindow* FindPage(int page) {
  if (page == kWhiteListPage) return g_advanced.get();
  if (page == kCookiePage) return g_cookie.get();
  return nullptr;
}

void PageWindow::OnTabClick(int index) { SwitchTab(State(), Pages(), page_, index); }

// Close from the taskbar ends the program as Exit does: a page left hidden
// could never be shown again and would turn every later start away.
void PageWindow::OnClose() { ExitManager(State(), Pages(), page_); }

// Pages go only when the program ends; should one be destroyed any other way,
// the program ends too rather than live on without a visible window.
void PageWindow::OnDestroy() { PostQuitMessage(0); }

// Both pages' texts: the pages stand in one place in turn, and a tab whose
// caption changed size from one page to the other would show it.
std::vector<PaintedText> PageWindow::TextsToFit() const {
  std::vector<PaintedText> texts;
  for (const PageDesign& design : {FrmPopupAdvanced::Design(), FrmPopupCookie::Design()}) {
    std::vector<PaintedText> page = PaintedTexts(design.labels, design.buttons);
    texts.insert(texts.end(), page.begin(), page.end());
  }
  return texts;
}

bool PageWindow::CreatePage() {
  if (!hwnd() && !Create(nullptr, kPageCaption, {State().lngFormLeft, State().lngFormTop})) return false;
  PageLoaded(State(), page_);
  SetWindowShape();
  AddSystemMenu();
  for (int n = 0; n < 3; ++n) SetButtonNormal(n);
  return true;
}

void PageWindow::ShowPage() {
  if (!hwnd()) return;
  ShowWindow(hwnd(), SW_SHOW);
  UpdateWindow(hwnd());
  SetForegroundWindow(hwnd());
}

int Main() {
  win32::UniqueKernelHandle instance(CreateMutexA(nullptr, FALSE, kInstanceMutex));
  if (!instance || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  // The objects the controls give assistive technology are marshalled from
  // this thread, which is the one that answers their calls.
  const win32::ScopedCoInit com;

  g_state.strAppPath = win32::ModuleFolder(nullptr);
  g_state.intStatus = StatusFromText(CRegistry::ForManager().GetRegStringValue(value::Status));
  // A site comes only from the tray's start, whose consent covers its
  // command line; a value in the settings, which others can write, is taken
  // away unread.
  g_state.strSiteToAdd = HostToAllowOfCommandLine(GetCommandLineA());
  win32::DeleteRegValue(HKEY_LOCAL_MACHINE, kSettingsKey, value::AllowSite);

  const Dpi dpi = ScreenDpi();
  TwipsPoint start = InitialPagePosition(PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), dpi.x),
                                         PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), dpi.y));
  g_state.lngFormLeft = start.left;
  g_state.lngFormTop = start.top;
  g_state.blnAdvancedLoaded = false;
  g_state.blnCookieLoaded = false;

  g_advanced = std::make_unique<FrmPopupAdvanced>();
  g_cookie = std::make_unique<FrmPopupCookie>();
  PageWindow* first = FindPage(FirstPage(g_state.intStatus));
  if (first) first->Load();
  if (!first || !first->hwnd()) return 0;  // nothing to show: do not linger

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab moves between a page's controls.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    // Ctrl+Tab and Ctrl+Shift+Tab: there are two pages, so both go to the other.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && root) {
      PageWindow* window = FindPage(kWhiteListPage);
      if (!window || window->hwnd() != root) window = FindPage(kCookiePage);
      if (window && window->hwnd() == root) {
        window->ShowOtherPage();
        continue;
      }
    }
    if (root && IsDialogMessageA(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  g_cookie.reset();
  g_advanced.reset();
  return 0;
}

}  // namespace vendrolix::manager

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return vendrolix::manager::Main(); }
