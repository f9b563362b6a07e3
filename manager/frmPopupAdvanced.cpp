// frmPopupAdvanced: the white list page and WebSite.dat.
#include <algorithm>
#include <vector>

#include "data_files.h"
#include "manager_app.h"
#include "resource.h"
#include "text.h"
#include "white_list.h"
#include "win32/CRegistry.h"
#include "win32/file_io.h"
#include "win32/policy_reader.h"

namespace vendrolix::manager {
namespace {

const SkinDesign kDesign = {kWhiteListClass, IDB_SKIN_PAGE, {0, 0, 6348, 4020}, 6420, 4092, true};

// The page's own labels, after the title and the tabs.
enum WhiteListLabel : std::size_t { kKeywordLabel = kPageLabelCount, kNoteLabel, kListLabel, kWhiteListLabelCount };

// The list box keeps the case-insensitive order of the suite's text rules
// rather than the control's locale sort, so WebSite.dat's order is the
// same on every system. The user's entries follow the administrator's first
// `from` ones.
LRESULT AddSorted(HWND list, const std::string& text, std::size_t from) {
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || static_cast<std::size_t>(count) < from) count = static_cast<LRESULT>(from);
  const auto itemAt = [list, from](std::size_t i) { return ListText(list, static_cast<int>(from + i)); };
  std::size_t at = from + SortedInsertIndex(static_cast<std::size_t>(count) - from, itemAt, text);
  return SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::string> ListEntries(HWND list, std::size_t from) {
  std::vector<std::string> entries;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = static_cast<LRESULT>(from); i < count && count != LB_ERR; ++i) {
    entries.push_back(ListText(list, static_cast<int>(i)));
  }
  return entries;
}

// Selected, and scrolled into view by the selection.
void Select(HWND list, LRESULT index) {
  if (index >= 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace

FrmPopupAdvanced::FrmPopupAdvanced() : PageWindow(kDesign, kWhiteListPage) {}

PageDesign FrmPopupAdvanced::Design() {
  PageDesign design;
  design.labels = PageTitleAndTabs();
  design.labels.resize(kWhiteListLabelCount);
  design.labels[kKeywordLabel].text = "Web Site Keyword:";  // Label2
  design.labels[kKeywordLabel].rect = {480, 2688, 1452, 192};
  design.labels[kKeywordLabel].names = kIdTextWebSite;
  design.labels[kNoteLabel].text = "Note: White List is not valid for Netscape and AOL.";  // Label1
  design.labels[kNoteLabel].rect = {1920, 3000, 3852, 192};
  design.labels[kNoteLabel].otherTexts = {kWhiteListLockedNote};
  // The design has no label for the list: it is heard by the page's name,
  // from a text over the bare picture above it.
  design.labels[kListLabel].text = "White List";
  design.labels[kListLabel].rect = {480, 744, 1452, 144};
  design.labels[kListLabel].names = kIdListUrl;
  design.labels[kListLabel].seen = false;
  design.labels[kListLabel].drags = true;
  design.buttons = {PageButton("Add", {2640, 3420, 1092, 432}), PageButton("Remove", {3840, 3420, 1092, 432}),
                    PageButton("Exit", {5040, 3408, 1092, 456})};
  return design;
}

void FrmPopupAdvanced::OnCreate() {
  PageDesign design = Design();
  labels_ = std::move(design.labels);
  buttons_ = std::move(design.buttons);
  lines_ = PageFrameLines(kWhiteListPage);

  lstURL_ = AddChild("LISTBOX", WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE,
                     {480, 900, 5412, 1584}, kIdListUrl);
  txtWebSite_ = AddChild("EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {1920, 2640, 3972, 288},
                         kIdTextWebSite);
}

void FrmPopupAdvanced::Load() {
  if (!CreatePage()) return;
  LoadWebSiteList();
  ShowPage();
  if (txtWebSite_) SetFocus(txtWebSite_);
  // Once: a page loaded again later must not offer it again.
  const std::string site = std::move(State().strSiteToAdd);
  State().strSiteToAdd.clear();
  if (!site.empty() && hwnd() && !locked_) OfferSite(site);
}

void FrmPopupAdvanced::OfferSite(const std::string& site) {
  // Any program may start the manager with a site, and the consent prompt
  // names the manager, not the site: it is only typed in for the person to
  // see, and the person's own Add puts it in the list.
  SetWindowTextA(txtWebSite_, site.c_str());
  SetFocus(txtWebSite_);
  SendMessageA(txtWebSite_, EM_SETSEL, 0, -1);
  const std::size_t listed = FindSite(ListEntries(lstURL_, adminEntries_), site);
  if (listed != std::string::npos) Select(lstURL_, static_cast<LRESULT>(adminEntries_ + listed));
}

void FrmPopupAdvanced::OnButtonClick(int n) {
  switch (n) {
    case 0:
      AddWebSite();
      break;
    case 1:
      RemoveWebSite();
      break;
    case 2:
      ExitManager(State(), Pages(), page_);
      break;
    default:
      break;
  }
}

void FrmPopupAdvanced::OnEnterKey() {
  if (txtWebSite_ && GetFocus() == txtWebSite_) AddWebSite();
}

std::string FrmPopupAdvanced::FilePath() const { return State().strAppPath + "\\" + file::WhiteList; }

void FrmPopupAdvanced::LoadWebSiteList() {
  // Only a save writes the list: a missing one stays missing until then.
  std::vector<std::string> entries = ReadWebSiteFile(FilePath());
  // In the order AddSorted would give them one by one (equal texts in file
  // order), filled at once: 32,767 inserts, each a search of the control,
  // took seconds.
  std::stable_sort(entries.begin(), entries.end(), LessNoCase());
  const Policy policy = win32::ReadPolicy(kPolicyAllowList | kPolicyLock);
  adminEntries_ = policy.allowList.size();
  locked_ = policy.lockWhiteList;
  std::vector<std::string> shown;
  shown.reserve(adminEntries_ + entries.size());
  for (const std::string& keyword : policy.allowList) shown.push_back(keyword + kAdminEntrySuffix);
  shown.insert(shown.end(), entries.begin(), entries.end());
  FillListBox(lstURL_, shown);
  if (!locked_) return;
  labels_[kNoteLabel].text = kWhiteListLockedNote;
  HideButton(0);
  HideButton(1);
  EnableWindow(txtWebSite_, FALSE);
}

void FrmPopupAdvanced::SaveWebSiteList() {
  const std::vector<std::string> entries = ListEntries(lstURL_, adminEntries_);
  // Written beside the old file and swapped in, so the browser helper never
  // reads a half-written list.
  if (win32::ReplaceFileContent(FilePath(), FormatWebSiteList(entries))) return;
  // The list box keeps the change; the next save that succeeds writes it.
  ShowMessage(*this, kSaveFailedTitle, kSaveFailedText, "Ok");
}

void FrmPopupAdvanced::AddWebSite() {
  if (locked_) return;
  AddKeyword(Trim(WindowText(txtWebSite_)));
}

void FrmPopupAdvanced::AddKeyword(const std::string& text) {
  // A page closed while a notice was up has no controls left to touch.
  const auto clearKeyword = [this] {
    if (!hwnd()) return;
    SetWindowTextA(txtWebSite_, "");
    SetFocus(txtWebSite_);
  };
  if (text.empty()) {
    ShowMessage(*this, kAddTitle, kAddText, "Ok");
    clearKeyword();
    return;
  }
  const LRESULT count = SendMessageA(lstURL_, LB_GETCOUNT, 0, 0);
  if (count != LB_ERR && static_cast<std::size_t>(count) >= kWhiteListCapacity + adminEntries_) {
    // Saving one more would lose the whole list. The typed keyword stays.
    ShowMessage(*this, kAddTitle, kWhiteListFullText, "Ok");
    if (hwnd()) SetFocus(txtWebSite_);
    return;
  }
  AddSorted(lstURL_, text, adminEntries_);
  SaveWebSiteList();
  clearKeyword();
}

void FrmPopupAdvanced::RemoveWebSite() {
  if (locked_) return;
  LRESULT selected = SendMessageA(lstURL_, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) {
    ShowMessage(*this, kRemoveTitle, kRemoveText, "Ok");
    return;
  }
  if (static_cast<std::size_t>(selected) < adminEntries_) {
    ShowMessage(*this, kRemoveTitle, kAdminEntryText, "Ok");
    return;
  }
  SendMessageA(lstURL_, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
  SendMessageA(lstURL_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SaveWebSiteList();
}

}  // namespace vendrolix::manager
