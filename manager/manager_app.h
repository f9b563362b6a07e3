// The manager's windows and MainModule, the program-wide state they share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls.h"
#include "cookie_page.h"
#include "manager_logic.h"
#include "skin.h"
#include "win32/ie_cookie_store.h"

namespace vendrolix::manager {

// MainModule: the program-wide state and the navigation between pages.
ManagerState& State();
PageHost& Pages();
class PageWindow;
PageWindow* FindPage(int page);

// The skinned message box over `caller`; returns the caption clicked.
std::string ShowMessage(SkinnedWindow& caller, const std::string& title, const std::string& text,
                        const std::string& buttons);

// A page window: loads (creates, shapes, fills and shows) itself on demand.
class PageWindow : public SkinnedWindow {
 public:
  PageWindow(const SkinDesign& design, int page) : SkinnedWindow(design), page_(page) {}
  int page() const { return page_; }
  // Form_Load and the first show.
  virtual void Load() = 0;
  // Ctrl+Tab: the other page, as its tab's click.
  void ShowOtherPage() { OnTabClick(page_ == kWhiteListPage ? kCookiePage : kWhiteListPage); }
  int ActiveTab() const override { return page_; }

 protected:
  void OnTabClick(int index) override;
  void OnClose() override;
  // Esc is the page's Exit.
  void OnEscapeKey() override { OnClose(); }
  void OnDestroy() override;
  std::vector<PaintedText> TextsToFit() const override;
  // The steps every page's load handler starts with.
  bool CreatePage();
  void ShowPage();
  int page_;
};

class FrmPopupAdvanced final : public PageWindow {
 public:
  FrmPopupAdvanced();
  static PageDesign Design();
  void Load() override;

 private:
  void OnCreate() override;
  void OnButtonClick(int n) override;
  // Enter in the keyword box adds it, as Add does.
  void OnEnterKey() override;
  void LoadWebSiteList();
  // Shows the notice when the file could not be written.
  void SaveWebSiteList();
  void AddWebSite();
  void AddKeyword(const std::string& text);
  // A site the tray sent: typed into the keyword box and selected, for the
  // person's Add; when already listed, its entry is selected too.
  void OfferSite(const std::string& site);
  void RemoveWebSite();
  std::string FilePath() const;

  HWND lstURL_ = nullptr;
  HWND txtWebSite_ = nullptr;
  // The administrator's entries, at the head of the list, and the lock, as
  // read when the list was loaded.
  std::size_t adminEntries_ = 0;
  bool locked_ = false;
};

class FrmPopupCookie final : public PageWindow, private CookiePageHost {
 public:
  FrmPopupCookie();
  static PageDesign Design();
  void Load() override;

 private:
  void OnCreate() override;
  void OnButtonClick(int n) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnDpiChanged() override;
  int FocusedLabel() const override;
  void DrawItem(const DRAWITEMSTRUCT& item);

  // CookiePageHost
  std::string ReadSetting(const char* name) override;
  void WriteSetting(const char* name, const std::string& text) override;
  std::string ShellFolder(const char* name) override;
  CookieFiles& Files() override;
  cookies::IeCookieStore& IeStore() override;
  std::vector<std::string> NetscapeFileEntries(const std::string& cookieFile) override;
  std::string ReadKeepLine(const char* fileName) override;
  bool WriteKeepFile(const char* fileName, const std::string& content) override;
  void ShowView(int view) override;
  void ShowAutoClean(const std::string& caption, bool ticked) override;
  void ClearList() override;
  void FillList(const std::vector<ListedCookie>& cookies) override;
  std::vector<std::string> TickedEntries() override;
  bool AutoCleanTicked() override;
  void LockAutoClean(bool locked) override;
  Policy ReadCookiePolicy() override;
  void ShowNoNetscape() override;
  std::string AskProfileFolder() override;
  void ShowStillNotFound() override;
  void ShowSaveFailed() override;
  bool Closed() override;

  CookiePage logic_;
  std::unique_ptr<CookieFiles> files_;
  win32::WinInetCookieStore store_;
  HWND lstCookie_ = nullptr;
  HWND optIECookie_ = nullptr;
  HWND optNSCookie_ = nullptr;
  HWND chkAutoClean_ = nullptr;
  win32::UniqueGdiObject<HBRUSH> skinBrush_;
};

// The path dialog: the folder typed, or "Cancel".
std::string ShowNSCookiePath(HWND owner);

inline constexpr int kIdListUrl = 101;
inline constexpr int kIdTextWebSite = 102;
inline constexpr int kIdListCookie = 201;
inline constexpr int kIdOptIE = 202;
inline constexpr int kIdOptNS = 203;
inline constexpr int kIdChkAutoClean = 204;
inline constexpr int kIdTxtPath = 301;
inline constexpr const char* kAppTitle = "VendrolixPro";
inline constexpr const char* kPathDialogClass = "VendrolixProCookiePath";

inline constexpr const char* kPageCaption = "Vendrolix Pro";
inline constexpr const char* kWhiteListClass = "VendrolixProWhiteList";
inline constexpr const char* kCookieClass = "VendrolixProCookie";
inline constexpr const char* kMessageClass = "VendrolixProMessage";

}  // namespace vendrolix::manager
