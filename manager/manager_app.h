// The manager's windows and MainModule, the program-wide state they share.
#pragma once

#include <windows.h>

#include <string>

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
};

inline constexpr int kIdListUrl = 101;
inline constexpr int kIdTextWebSite = 102;

inline constexpr const char* kPageCaption = "Vendrolix Pro";
inline constexpr const char* kWhiteListClass = "VendrolixProWhiteList";
inline constexpr const char* kCookieClass = "VendrolixProCookie";
inline constexpr const char* kMessageClass = "VendrolixProMessage";

}  // namespace vendrolix::manager
