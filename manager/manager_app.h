// The manager's windows and MainModule, the program-wide state they share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "manager_logic.h"
#include "skin.h"

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

 protected:
  void OnTabClick(int index) override;
  void OnClose() override;
  // The steps every page's load handler starts with.
  bool CreatePage();
  void ShowPage();
  int page_;
};

class FrmPopupAdvanced final : public PageWindow {
 public:
  FrmPopupAdvanced();
  void Load() override;

 private:
  void OnCreate() override;
  void OnButtonClick(int n) override;
  void LoadWebSiteList();
  void SaveWebSiteList();
  void AddWebSite();
  void RemoveWebSite();
  std::string FilePath() const;

  HWND lstURL_ = nullptr;
  HWND txtWebSite_ = nullptr;
};

class FrmPopupCookie final : public PageWindow {
 public:
  FrmPopupCookie();
  void Load() override;

 private:
  void OnCreate() override;
  void OnButtonClick(int n) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  void GetNSCookiePath();
  void ShowCookieList();
  void ListIECookies();
  void ListNSCookies();
  void MarkKeptCookies(const std::vector<std::string>& entries, const char* keepFile);
  void SaveIECookies();
  void SaveNSCookies();
  void WriteKeepList(const char* keepFile);
  void ApplyChanges();
  void ApplyAndExit();
  void OptIECookieClick();
  void OptNSCookieClick();
  void SelectView(int view);
  int CheckValue() const;
  void DrawItem(const DRAWITEMSTRUCT& item);

  std::int16_t intView_ = 0;       // 1 IE/AOL, 0 Netscape
  std::int16_t intIeAutoClean_ = 0;
  std::int16_t intNsAutoClean_ = 0;
  std::int16_t intNsInstalled_ = 0;
  std::string strIeFolder_;
  std::string strNsFolder_;
  bool blnNsFound_ = false;
  bool blnLoading_ = false;
  std::string strIeCaption_;
  std::string strNsCaption_;

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
