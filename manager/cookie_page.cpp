#include "cookie_page.h"

#include "convert.h"
#include "cookies.h"
#include "settings.h"
#include "win32/CRegistry.h"

namespace vendrolix::manager {

void CookiePage::ReadNumber(const char* name, std::int16_t& target) {
  ConvertToInt16(host_.ReadSetting(name), target);
}

void CookiePage::Load() {
  ReadNumber(value::OptionCookie, intView_);
  ReadNumber(value::AutoClean, intIeAutoClean_);
  ReadNumber(value::NSExist, intNsInstalled_);
  ReadNumber(value::NSAutoClean, intNsAutoClean_);
  strIeFolder_ = host_.ShellFolder("Cookies");
  GetNSCookiePath();
  strIeCaption_ = kIeCaption;
  strNsCaption_ = kNsCaption;
  blnLoading_ = true;
  ShowCookieList();
  blnLoading_ = false;
}

void CookiePage::GetNSCookiePath() {
  if (intNsInstalled_ != 1) {
    blnNsFound_ = false;
    return;
  }
  std::string stored = host_.ReadSetting(value::PathNSCookie);
  std::string appData = host_.ShellFolder("AppData");
  CookieFiles& files = host_.Files();
  const cookies::ProfileFolders folders{[&](const std::string& path) { return files.FolderExists(path); },
                                        [&](const std::string& path) { return files.FileExists(path); },
                                        [&](const std::string& folder) { return files.Subfolders(folder); },
                                        [&](const std::string& path) { return files.IsPlainLocal(path); }};
  // "No" is how a missing shell folder reads, not a folder to search below.
  const auto profile = cookies::FindNetscapeProfile(
      folders, stored, appData == kShellFolderMissing ? std::nullopt : std::optional<std::string>(appData));
  blnNsFound_ = profile.has_value();
  strNsFolder_ = profile ? profile->folder : std::string();
  if (profile && profile->searched) host_.WriteSetting(value::PathNSCookie, profile->folder);
}

void CookiePage::ShowCookieList() {
  if (intNsInstalled_ == 0) {
    intView_ = 1;
    blnNsFound_ = false;
  }
  policy_ = host_.ReadCookiePolicy();
  if (intView_ == 1) {
    host_.ShowView(1);
    host_.ShowAutoClean(strIeCaption_, policy_.autoClean.value_or(intIeAutoClean_ == 1));
    host_.LockAutoClean(policy_.autoClean.has_value());
    ListIECookies();
  } else {
    host_.ShowView(0);
    host_.ShowAutoClean(strNsCaption_, policy_.nsAutoClean.value_or(intNsAutoClean_ == 1));
    host_.LockAutoClean(policy_.nsAutoClean.has_value());
    ListNSCookies();
  }
}

void CookiePage::ListIECookies() {
  host_.ClearList();
  std::optional<std::string> folder;
  if (host_.Files().FolderExists(strIeFolder_)) folder = strIeFolder_;
  MarkKeptCookies(cookies::IeSites(cookies::ReadIeCookies(host_.IeStore(), folder).cookies), file::IeKeepList);
}

void CookiePage::ListNSCookies() {
  if (!blnNsFound_) return;
  host_.ClearList();
  std::vector<cookies::IeSite> domains;
  for (std::string& entry : host_.NetscapeFileEntries(strNsFolder_ + cookies::kNetscapeCookieFile)) {
    domains.push_back({std::move(entry), {}});
  }
  MarkKeptCookies(std::move(domains), file::NsKeepList);
}

void CookiePage::MarkKeptCookies(std::vector<cookies::IeSite> sites, const char* keepFile) {
  std::string keepLine = host_.ReadKeepLine(keepFile);
  host_.ClearList();
  std::vector<ListedCookie> listed = ArrangeCookies(std::move(sites), keepLine);
  for (ListedCookie& cookie : listed) cookie.enforced = PolicyKeepsSite(policy_.keepCookies, cookie.entry);
  host_.FillList(listed);
}

bool CookiePage::WriteKeepList(const char* keepFile) {
  return host_.WriteKeepFile(keepFile, cookies::FormatKeepFile(host_.TickedEntries()));
}

bool CookiePage::SaveIECookies() {
  // An enforced switch leaves the user's own one as it was.
  if (!policy_.autoClean) {
    intIeAutoClean_ = host_.AutoCleanTicked() ? 1 : 0;
    host_.WriteSetting(value::AutoClean, ToDecimalText(intIeAutoClean_));
  }
  return WriteKeepList(file::IeKeepList);
}

bool CookiePage::SaveNSCookies() {
  if (!blnNsFound_) return true;
  if (!policy_.nsAutoClean) {
    intNsAutoClean_ = host_.AutoCleanTicked() ? 1 : 0;
    host_.WriteSetting(value::NSAutoClean, ToDecimalText(intNsAutoClean_));
  }
  return WriteKeepList(file::NsKeepList);
}

bool CookiePage::ApplyChanges() {
  host_.WriteSetting(value::OptionCookie, ToDecimalText(intView_));
  bool saved = true;
  if (intView_ == 1) {
    saved = SaveIECookies();
  } else if (intView_ == 0) {
    saved = SaveNSCookies();
  }
  if (!saved) host_.ShowSaveFailed();
  return saved;
}

void CookiePage::StayAfterFailedSave(int view) {
  // Listing the other view would read the old list back over the ticks the
  // user set; the view is left as it is instead.
  intView_ = static_cast<std::int16_t>(view);
  host_.WriteSetting(value::OptionCookie, ToDecimalText(intView_));
  host_.ShowView(view);
  host_.ShowSaveFailed();
}

void CookiePage::OptIECookieClick() {
  if (blnLoading_) return;
  intView_ = 1;
  host_.WriteSetting(value::OptionCookie, "1");
  host_.ShowView(1);
  if (!SaveNSCookies()) {
    StayAfterFailedSave(0);
    return;
  }
  ShowCookieList();
}

void CookiePage::OptNSCookieClick() {
  if (blnLoading_) return;
  // The page can be closed while a question or notice is up; a page that is
  // gone has no ticks to save, and a save then would empty the keep list.
  bool refused = false;
  if (intNsInstalled_ != 1) {
    host_.ShowNoNetscape();
    if (host_.Closed()) return;
    refused = true;
  } else if (!blnNsFound_) {
    std::string answer = host_.AskProfileFolder();
    if (host_.Closed()) return;
    if (answer == "Cancel") {
      refused = true;
    } else {
      host_.WriteSetting(value::PathNSCookie, answer);
      GetNSCookiePath();
      if (!blnNsFound_) {
        host_.ShowStillNotFound();
        if (host_.Closed()) return;
        refused = true;
      }
    }
  }
  if (refused) {
    // Back to IE/AOL: the view being left is saved first, and the IE/AOL
    // click then lists it again with the ticks just saved.
    if (!SaveIECookies()) {
      StayAfterFailedSave(1);
      return;
    }
    host_.ShowView(1);
    OptIECookieClick();
    return;
  }
  intView_ = 0;
  host_.WriteSetting(value::OptionCookie, "0");
  host_.ShowView(0);
  if (!SaveIECookies()) {
    StayAfterFailedSave(1);
    return;
  }
  ShowCookieList();
}

}  // namespace vendrolix::manager
