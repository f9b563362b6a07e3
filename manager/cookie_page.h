// The cookie page's behaviour without its window: what Form_Load, the two
// option buttons and the Ok/Apply buttons read, save and show, in order.
// frmPopupCookie implements CookiePageHost with the registry, the files and
// its controls; tests implement it in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cookie_logic.h"
#include "policy.h"

namespace vendrolix::manager {

class CookiePageHost {
 public:
  virtual ~CookiePageHost() = default;
  // Settings as the manager's CRegistry reads them ("0" when missing).
  virtual std::string ReadSetting(const char* name) = 0;
  virtual void WriteSetting(const char* name, const std::string& text) = 0;
  virtual std::string ShellFolder(const char* name) = 0;  // "No" when missing
  virtual CookieFiles& Files() = 0;
  // Internet Explorer's cookie store as the manager's process reaches it.
  virtual cookies::IeCookieStore& IeStore() = 0;
  // Entries of the Netscape cookie file (at most its first 1000 lines).
  virtual std::vector<std::string> NetscapeFileEntries(const std::string& cookieFile) = 0;
  // First line of a keep list of the program folder ("" for a missing
  // list, which reading leaves missing), and its replacement: false when the
  // file could not be written.
  virtual std::string ReadKeepLine(const char* fileName) = 0;
  virtual bool WriteKeepFile(const char* fileName, const std::string& content) = 0;

  // The controls.
  virtual void ShowView(int view) = 0;  // option buttons and label colours
  virtual void ShowAutoClean(const std::string& caption, bool ticked) = 0;
  virtual void ClearList() = 0;
  virtual void FillList(const std::vector<ListedCookie>& cookies) = 0;
  virtual std::vector<std::string> TickedEntries() = 0;
  virtual bool AutoCleanTicked() = 0;
  // The check box greyed while a policy enforces the switch it shows.
  virtual void LockAutoClean(bool /*locked*/) {}
  // The administrator's cleaning switches and KeepCookies (none by default).
  virtual Policy ReadCookiePolicy() { return Policy(); }

  // The questions and notices.
  virtual void ShowNoNetscape() = 0;
  virtual std::string AskProfileFolder() = 0;  // "Cancel" or the folder
  virtual void ShowStillNotFound() = 0;
  // The notice of a keep list that could not be saved.
  virtual void ShowSaveFailed() = 0;
  // The page's window went away, for instance closed while a question or
  // notice of it was up.
  virtual bool Closed() = 0;
};

class CookiePage {
 public:
  explicit CookiePage(CookiePageHost& host) : host_(host) {}

  void Load();           // Form_Load after the window is placed and shaped
  void OptIECookieClick();
  void OptNSCookieClick();
  // "Apply"; "Ok" is this, then Exit, but only when it returned true: a save
  // that failed was shown, and the page stays with what the user entered.
  bool ApplyChanges();

  std::int16_t view() const { return intView_; }
  bool netscapeFound() const { return blnNsFound_; }
  const std::string& netscapeFolder() const { return strNsFolder_; }

 private:
  void GetNSCookiePath();
  void ShowCookieList();
  void ListIECookies();
  void ListNSCookies();
  void MarkKeptCookies(std::vector<cookies::IeSite> sites, const char* keepFile);
  // False when the keep list could not be written (nothing to save is no
  // failure).
  bool SaveIECookies();
  bool SaveNSCookies();
  bool WriteKeepList(const char* keepFile);
  // Back to `view` after the save of the view being left failed: that view
  // stays on screen, unsaved, and the failure is shown.
  void StayAfterFailedSave(int view);
  void ReadNumber(const char* name, std::int16_t& target);

  CookiePageHost& host_;
  std::int16_t intView_ = 0;  // 1 IE/AOL, 0 Netscape
  std::int16_t intIeAutoClean_ = 0;
  std::int16_t intNsAutoClean_ = 0;
  std::int16_t intNsInstalled_ = 0;
  std::string strIeFolder_;
  std::string strNsFolder_;
  bool blnNsFound_ = false;
  bool blnLoading_ = false;
  std::string strIeCaption_;
  std::string strNsCaption_;
  Policy policy_;  // as read when the list was last shown
};

}  // namespace vendrolix::manager
