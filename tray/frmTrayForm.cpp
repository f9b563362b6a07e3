#include "frmTrayForm.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "blocked_list.h"
#include "browser_windows.h"
#include "convert.h"
#include "exit_watch_win32.h"
#include "resource.h"
#include "settings.h"
#include "white_list.h"
#include "win32/file_io.h"
#include "win32/registry.h"

namespace vendrolix::tray {
namespace {

const char* const kFormClass = "VendrolixTrayForm";
constexpr UINT_PTR kExitWatchTimer = 1;
constexpr UINT_PTR kFlashTimer = 2;
constexpr UINT_PTR kMessengerTimer = 3;

// The system button's own procedure, the same for all three buttons.
WNDPROC g_buttonBase = nullptr;

struct MenuEntry {
  UINT id;  // 0: separator
  const char* caption;
};

// Top to bottom. The Messenger separator is the one before its two items.
constexpr MenuEntry kMenu[] = {
    {IDM_HELP, "Help"},
    {IDM_COOKIE_MANAGER, "Cookie Manager"},
    {IDM_WHITE_LIST, "White List"},
    {0, nullptr},
    {IDM_WAVE_SOUND, "Wave Sound"},
    {IDM_INTERNAL_SOUND, "Internal Sound"},
    {IDM_NO_SOUND, "No Sound"},
    {0, nullptr},  // mnuNothingMessenger
    {IDM_BLOCK_MESSENGER, "Block Messenger Popup"},
    {IDM_ALLOW_MESSENGER, "Allow Messenger Popup"},
    {0, nullptr},
    {IDM_BLOCK_ALL_POPUP, "Block All Popup"},
    {IDM_BLOCK_AD_POPUP_HIGH, "Block Ad Popup-High"},
    {IDM_BLOCK_AD_POPUP_DEFAULT, "Block Ad Popup-Default"},
    {IDM_BLOCK_AD_POPUP_LOW, "Block Ad Popup-Low"},
    {IDM_ALLOW_POPUP, "Allow Popup"},
};
constexpr UINT kMessengerSeparatorPosition = 7;

// Menu item of each level code and sound code.
constexpr UINT kLevelItems[5] = {IDM_ALLOW_POPUP, IDM_BLOCK_AD_POPUP_LOW, IDM_BLOCK_AD_POPUP_DEFAULT,
                                 IDM_BLOCK_AD_POPUP_HIGH, IDM_BLOCK_ALL_POPUP};
constexpr UINT kSoundItems[3] = {IDM_WAVE_SOUND, IDM_INTERNAL_SOUND, IDM_NO_SOUND};

constexpr std::size_t kTipField = sizeof(NOTIFYICONDATAA{}.szTip);

void Check(HMENU menu, UINT id, bool checked) {
  CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

std::string RegistrySettings::Read(const std::string& name, const std::string& missingText) {
  return CRegistry(kTrayReadBuffer, missingText).GetRegStringValue(name);
}

void RegistrySettings::Write(const std::string& name, const std::string& text) {
  CRegistry::ForTray().SetRegStringValue(name, text);
}

void RegistrySettings::Remove(const std::string& name) {
  win32::DeleteSetting(name.c_str());
}

FrmTrayForm::FrmTrayForm(HINSTANCE instance, ModTray& module)
    : instance_(instance), module_(module), controller_(settings_, *this) {}

FrmTrayForm::~FrmTrayForm() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  if (mnuPopupTray_) DestroyMenu(mnuPopupTray_);
}

bool FrmTrayForm::Load() {
  const int small = GetSystemMetrics(SM_CXSMICON);
  blockingIcon_.reset(static_cast<HICON>(
      LoadImageA(instance_, MAKEINTRESOURCEA(IDI_BLOCKING), IMAGE_ICON, small, small, LR_DEFAULTCOLOR)));
  allowingIcon_.reset(static_cast<HICON>(
      LoadImageA(instance_, MAKEINTRESOURCEA(IDI_ALLOWING), IMAGE_ICON, small, small, LR_DEFAULTCOLOR)));

  WNDCLASSEXA formClass{};
  formClass.cbSize = sizeof formClass;
  formClass.lpfnWndProc = WindowProc;
  formClass.hInstance = instance_;
  formClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_BLOCKING));
  formClass.hIconSm = blockingIcon_.get();
  formClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  formClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  formClass.lpszClassName = kFormClass;
  RegisterClassExA(&formClass);

  // Shown only while it loads, out of sight and never active: the browser
  // window that started the tray keeps the keyboard.
  loading_ = true;
  hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kFormClass, kTrayFormCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                          -4000, -4000, 160, 60, nullptr, nullptr, instance_, this);
  if (!hwnd_) return false;

  // Hidden push buttons that other processes click with a posted BM_CLICK.
  // The system button would turn it into a simulated mouse press, which a
  // hidden, inactive button never completes: the click is handled here.
  const struct {
    HWND* target;
    const char* caption;
    int id;
  } buttons[] = {{&cmdForm_, kFormCloseCaption, IDC_FORM_CLOSE},
                 {&cmdBlock_, kBlockCaption, IDC_BLOCK},
                 {&cmdBlockNSAOL_, kNsAolCaption, IDC_BLOCK_NSAOL}};
  for (const auto& b : buttons) {
    *b.target = CreateWindowExA(0, kButtonClass, b.caption, WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 20, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance_, nullptr);
    if (!*b.target) continue;
    // The browser helper runs at low integrity inside a Protected Mode
    // browser; Windows drops its posted clicks on this higher-integrity
    // window unless the button lets that one message through.
    ChangeWindowMessageFilterEx(*b.target, kButtonClickMessage, MSGFLT_ALLOW, nullptr);
    const auto base = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(*b.target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
    if (!g_buttonBase) g_buttonBase = base;
  }

  BuildMenu();
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  openBlockedMessage_ = RegisterWindowMessageA(kOpenBlockedMessage);
  Form_Load();
  return true;
}

void FrmTrayForm::BuildMenu() {
  mnuPopupTray_ = CreatePopupMenu();
  if (!mnuPopupTray_) return;
  for (const MenuEntry& entry : kMenu) {
    if (entry.id == 0) {
      AppendMenuA(mnuPopupTray_, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuA(mnuPopupTray_, MF_STRING, entry.id, entry.caption);
    }
  }
}

void FrmTrayForm::ApplyChecks() {
  if (!mnuPopupTray_) return;
  const MenuChecks& checks = controller_.checks();
  for (std::size_t i = 0; i < 5; ++i) {
    Check(mnuPopupTray_, kLevelItems[i], checks.level[i]);
    EnableMenuItem(mnuPopupTray_, kLevelItems[i], MF_BYCOMMAND | (checks.levelsLocked ? MF_GRAYED : MF_ENABLED));
  }
  for (std::size_t i = 0; i < 3; ++i) Check(mnuPopupTray_, kSoundItems[i], checks.sound[i]);
  if (!checks.messengerShown) {
    // A popup menu has no invisible items: the three leave the menu.
    if (GetMenuState(mnuPopupTray_, IDM_BLOCK_MESSENGER, MF_BYCOMMAND) != static_cast<UINT>(-1)) {
      DeleteMenu(mnuPopupTray_, IDM_ALLOW_MESSENGER, MF_BYCOMMAND);
      DeleteMenu(mnuPopupTray_, IDM_BLOCK_MESSENGER, MF_BYCOMMAND);
      DeleteMenu(mnuPopupTray_, kMessengerSeparatorPosition, MF_BYPOSITION);
    }
    return;
  }
  Check(mnuPopupTray_, IDM_BLOCK_MESSENGER, checks.blockMessenger);
  Check(mnuPopupTray_, IDM_ALLOW_MESSENGER, checks.allowMessenger);
}

void FrmTrayForm::ShowSiteItem() {
  if (!mnuPopupTray_) return;
  DeleteMenu(mnuPopupTray_, IDM_ALLOW_SITE, MF_BYCOMMAND);
  menuSite_ = controller_.SiteToOffer();
  if (menuSite_.empty()) return;
  InsertMenuA(mnuPopupTray_, 0, MF_BYPOSITION | MF_STRING, IDM_ALLOW_SITE, AllowSiteCaption(menuSite_).c_str());
}

void FrmTrayForm::ShowBlockedItems() {
  if (!mnuPopupTray_) return;
  // Deleting the item by position destroys its submenu with it.
  for (int i = GetMenuItemCount(mnuPopupTray_) - 1; mnuBlocked_ && i >= 0; --i) {
    if (GetSubMenu(mnuPopupTray_, i) == mnuBlocked_) DeleteMenu(mnuPopupTray_, static_cast<UINT>(i), MF_BYPOSITION);
  }
  mnuBlocked_ = nullptr;
  menuBlocked_.clear();
  const std::vector<BlockedItem> items = controller_.BlockedMenu();
  if (items.empty()) return;
  mnuBlocked_ = CreatePopupMenu();
  if (!mnuBlocked_) return;
  for (const BlockedItem& item : items) {
    const UINT id = IDM_BLOCKED_FIRST + static_cast<UINT>(menuBlocked_.size());
    AppendMenuA(mnuBlocked_, MF_STRING | (item.openable ? MF_ENABLED : MF_GRAYED), id, item.caption.c_str());
    menuBlocked_.push_back(item.id);
  }
  AppendMenuA(mnuBlocked_, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(mnuBlocked_, MF_STRING, IDM_CLEAR_BLOCKED, "Clear List");
  // Directly above Help, below the item that allows the last site.
  UINT help = 0;
  while (help < static_cast<UINT>(GetMenuItemCount(mnuPopupTray_)) && GetMenuItemID(mnuPopupTray_, static_cast<int>(help)) != IDM_HELP) {
    ++help;
  }
  if (!InsertMenuA(mnuPopupTray_, help, MF_BYPOSITION | MF_POPUP | MF_STRING,
                   reinterpret_cast<UINT_PTR>(mnuBlocked_), "Blocked Pop-ups")) {
    DestroyMenu(mnuBlocked_);
    mnuBlocked_ = nullptr;
    menuBlocked_.clear();
  }
}

HICON FrmTrayForm::IconHandle(TrayIcon icon) const {
  return icon == TrayIcon::Allowing ? allowingIcon_.get() : blockingIcon_.get();
}

void FrmTrayForm::AddIcon() {
  NOTIFYICONDATAA& data = module_.TrayIconData;
  Shell_NotifyIconA(NIM_ADD, &data);
  // Asked again at every add, as the shell forgets it with the icon. With
  // the fourth version the shell tells a keyboard selection and where a
  // context menu belongs; a shell that refuses it keeps the mouse messages.
  data.uVersion = NOTIFYICON_VERSION_4;
  version4_ = Shell_NotifyIconA(NIM_SETVERSION, &data) != FALSE;
}

void FrmTrayForm::Publish(const char* name, HWND window) {
  const auto handle = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
  if (Registry) Registry->SetRegStringValue(name, ToDecimalText(handle));
}

void FrmTrayForm::Form_Load() {
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd_);

  NOTIFYICONDATAA& data = module_.TrayIconData;
  std::memset(&data, 0, sizeof data);
  // The whole record: the fourth version of the icon's messages needs at
  // least the second layout, and Windows 7 takes this one.
  data.cbSize = sizeof data;
  data.hWnd = hwnd_;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_TRAY_ICON;
  data.hIcon = blockingIcon_.get();

  controller_.LoadLevel(module_.PopupLevel);
  controller_.RefreshPolicy();
  data.hIcon = IconHandle(controller_.icon());
  SetTipText(controller_.Tip());
  Registry.emplace(CRegistry::ForTray());
  controller_.LoadSound();
  controller_.LoadMessenger(module_.messengerAvailable);
  ApplyChecks();

  AddIcon();
  Publish(value::hForm, cmdForm_);
  Publish(value::hButton, cmdBlock_);
  Publish(value::hNSAOLButton, cmdBlockNSAOL_);
  ShowWindow(hwnd_, SW_HIDE);
  // Its own showing is over. What follows may wait on COM, which lets a
  // message sent from outside in: a resize from now on is another
  // program's, and hides the form.
  loading_ = false;

  controller_.ApplyPendingMessenger(module_.messengerAvailable);
  ApplyChecks();

  // The browser window that started this tray may have closed before the
  // handles above were published, its "Form Close" click lost. Look once;
  // with no browser left, leave the usual way, as that click would have.
  if (!BrowserWindowsOpen()) PostMessageA(cmdForm_, kButtonClickMessage, 0, 0);
}

void FrmTrayForm::Form_Unload() {
  if (unloaded_) return;
  controller_.FinishMessengerWait();
  if (Registry) Registry->SetRegStringValue(value::hForm, "0");
  Registry.reset();
  Shell_NotifyIconA(NIM_DELETE, &module_.TrayIconData);
  // Nothing runs after this: the message loop stops, and messages already
  // queued (a second exit click, a block click) are never handled. The quit
  // message wakes a loop that waits while a message sent from outside (the
  // session's end) unloads the window.
  unloaded_ = true;
  DestroyWindow(hwnd_);
  PostQuitMessage(0);
}

void FrmTrayForm::Form_Resize() {
  if (!loading_) ShowWindow(hwnd_, SW_HIDE);
}

void FrmTrayForm::TrayCallback(UINT event, WPARAM anchor) {
  // The fourth version sends the mouse messages too, followed by what they
  // mean: each click is acted on once, by its meaning.
  const bool select = version4_ ? (event == NIN_SELECT || event == NIN_KEYSELECT) : event == WM_LBUTTONUP;
  if (select) {
    controller_.ToggleLevel();
    ApplyChecks();
    return;
  }
  if (version4_ && event == WM_CONTEXTMENU) {
    // The anchor is the pointer for a click, the icon for Shift+F10 or the
    // menu key.
    OpenMenu(POINT{static_cast<short>(LOWORD(anchor)), static_cast<short>(HIWORD(anchor))});
  } else if (!version4_ && event == WM_RBUTTONUP) {
    POINT cursor{};
    GetCursorPos(&cursor);
    OpenMenu(cursor);
  }
}

void FrmTrayForm::OpenMenu(POINT at) {
  SetForegroundWindow(hwnd_);
  controller_.RefreshPolicy();
  ApplyChecks();
  ShowSiteItem();
  ShowBlockedItems();
  menuOpen_ = true;
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(mnuPopupTray_, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, hwnd_, nullptr));
  menuOpen_ = false;
  if (unloadAfterMenu_) {
    Form_Unload();
    return;
  }
  const bool escaped = command == 0 && (GetKeyState(VK_ESCAPE) & 0x8000) != 0;
  // Lets the menu close when the user clicks elsewhere next time.
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  if (command != 0) MenuCommand(command);
  // Left with Esc: the keyboard goes back to the notification area, where
  // the user was.
  if (escaped && version4_) Shell_NotifyIconA(NIM_SETFOCUS, &module_.TrayIconData);
}

void FrmTrayForm::mnuHelp_Click() {
  const std::string help = module_.AppPath + "\\" + file::Help;
  ShellExecuteA(hwnd_, "open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void FrmTrayForm::MenuCommand(UINT id) {
  switch (id) {
    case IDM_ALLOW_SITE:
      controller_.AllowSite(menuSite_);
      break;
    case IDM_HELP:
      mnuHelp_Click();
      break;
    case IDM_CLEAR_BLOCKED:
      controller_.ClearBlocked();
      break;
    case IDM_COOKIE_MANAGER:
      controller_.OpenManager("1");
      break;
    case IDM_WHITE_LIST:
      controller_.OpenManager("0");
      break;
    case IDM_WAVE_SOUND:
      controller_.SelectSound(kSoundWave);
      break;
    case IDM_INTERNAL_SOUND:
      controller_.SelectSound(kSoundBeep);
      break;
    case IDM_NO_SOUND:
      controller_.SelectSound(kSoundNone);
      break;
    case IDM_BLOCK_MESSENGER:
      if (module_.messengerAvailable) controller_.BlockMessenger();
      break;
    case IDM_ALLOW_MESSENGER:
      if (module_.messengerAvailable) controller_.AllowMessenger();
      break;
    case IDM_BLOCK_ALL_POPUP:
      controller_.SetLevel(kLevelAll);
      break;
    case IDM_BLOCK_AD_POPUP_HIGH:
      controller_.SetLevel(kLevelHigh);
      break;
    case IDM_BLOCK_AD_POPUP_DEFAULT:
      controller_.SetLevel(kLevelDefault);
      break;
    case IDM_BLOCK_AD_POPUP_LOW:
      controller_.SetLevel(kLevelLow);
      break;
    case IDM_ALLOW_POPUP:
      controller_.AllowPopup();
      break;
    default:
      if (id >= IDM_BLOCKED_FIRST && id - IDM_BLOCKED_FIRST < menuBlocked_.size()) {
        controller_.OpenBlocked(menuBlocked_[id - IDM_BLOCKED_FIRST]);
      }
      return;
  }
  ApplyChecks();
}

void FrmTrayForm::TimerTick(WPARAM id) {
  if (id == kExitWatchTimer) {
    ExitWatchTick();
    return;
  }
  if (id != kFlashTimer && id != kMessengerTimer) return;
  // Each of the controller's timers is one step; the controller starts the
  // next one. A tick another program posts only brings a step forward.
  KillTimer(hwnd_, id);
  controller_.TimerDue(id == kFlashTimer ? TrayTimer::Flash : TrayTimer::Messenger);
}

void FrmTrayForm::cmdForm_Click() {
  // Clicks that come while a watch runs are part of it: a program posting
  // them cannot line up watch after watch.
  if (exitWatch_) return;
  exitPlatform_ = NewExitWatchPlatform();
  if (!exitPlatform_) return;
  exitWatch_ = std::make_unique<ExitWatch>(*exitPlatform_);
  // Even the first pass comes from the timer: nothing is cleaned inside a
  // click.
  if (!SetTimer(hwnd_, kExitWatchTimer, USER_TIMER_MINIMUM, nullptr)) EndExitWatch();
}

void FrmTrayForm::ExitWatchTick() {
  // One step at a time: the cleaner may let messages in while it runs, and
  // another program may post this message too.
  if (!exitWatch_ || stepping_) return;
  KillTimer(hwnd_, kExitWatchTimer);
  stepping_ = true;
  // A step that fails ends the watch with the tray still running.
  ExitStep step = ExitStep::GiveUp;
  try {
    step = exitWatch_->Step();
  } catch (...) {
  }
  stepping_ = false;
  // Ended meanwhile by a message sent from outside (the session's end).
  if (unloaded_) return;
  if (step == ExitStep::Continue && SetTimer(hwnd_, kExitWatchTimer, exitWatch_->waitMs(), nullptr)) return;
  EndExitWatch();
  if (step != ExitStep::Unload) return;
  if (menuOpen_) {
    unloadAfterMenu_ = true;
    EndMenu();
    return;
  }
  Form_Unload();
}

void FrmTrayForm::EndExitWatch() {
  KillTimer(hwnd_, kExitWatchTimer);
  exitWatch_.reset();
  exitPlatform_.reset();
}

void FrmTrayForm::cmdBlock_Click() { controller_.NotifyBlock(); }

void FrmTrayForm::cmdBlockNSAOL_Click() { controller_.NotifyNsAolBlock(); }

void FrmTrayForm::ButtonClick(int id) {
  switch (id) {
    case IDC_FORM_CLOSE:
      cmdForm_Click();
      break;
    case IDC_BLOCK:
      cmdBlock_Click();
      break;
    case IDC_BLOCK_NSAOL:
      cmdBlockNSAOL_Click();
      break;
    default:
      break;
  }
}

LRESULT FrmTrayForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TRAY_ICON:
      TrayCallback(static_cast<UINT>(lParam & 0xFFFF), wParam);
      return 0;
    case WM_TIMER:
      TimerTick(wParam);
      return 0;
    case WM_COMMAND:
      // Menu commands only; the buttons report nothing through here.
      if (lParam == 0 && HIWORD(wParam) == 0) MenuCommand(LOWORD(wParam));
      return 0;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_CLOSE:
      Form_Unload();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends and this process with it, without a WM_CLOSE.
      if (wParam) Form_Unload();
      return 0;
    default:
      break;
  }
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    // A restarted shell has forgotten the icon.
    AddIcon();
    return 0;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK FrmTrayForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* form = static_cast<FrmTrayForm*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->hwnd_ = window;
  }
  auto* form = reinterpret_cast<FrmTrayForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form || form->unloaded_) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return form->Handle(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT CALLBACK FrmTrayForm::ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kButtonClickMessage) {
    auto* form = reinterpret_cast<FrmTrayForm*>(GetWindowLongPtrA(GetParent(window), GWLP_USERDATA));
    if (form && !form->unloaded_) {
      try {
        form->ButtonClick(GetDlgCtrlID(window));
      } catch (...) {
      }
    }
    return 0;
  }
  return g_buttonBase ? CallWindowProcA(g_buttonBase, window, message, wParam, lParam)
                      : DefWindowProcA(window, message, wParam, lParam);
}

// TrayShell

void FrmTrayForm::ShowIcon(TrayIcon icon) {
  module_.TrayIconData.hIcon = IconHandle(icon);
  // A level's change always shows its icon: the tip names the level.
  SetTipText(controller_.Tip());
  Shell_NotifyIconA(NIM_MODIFY, &module_.TrayIconData);
}

void FrmTrayForm::BringToFront() { SetForegroundWindow(hwnd_); }

bool FrmTrayForm::StartTimer(TrayTimer timer, unsigned milliseconds) {
  return SetTimer(hwnd_, timer == TrayTimer::Flash ? kFlashTimer : kMessengerTimer, milliseconds, nullptr) != 0;
}

std::uint64_t FrmTrayForm::NowMs() { return GetTickCount64(); }

void FrmTrayForm::WriteMessengerStart(std::int32_t startType) {
  if (Registry) Registry->SetRegDWordValue(kMessengerServiceKey, kMessengerStartValue, startType);
}

void FrmTrayForm::RunNet(const std::string& parameters) {
  const std::string net = module_.SystemDir + "\\NET.EXE";
  ShellExecuteA(hwnd_, "open", net.c_str(), parameters.c_str(), nullptr, SW_HIDE);
}

void FrmTrayForm::StartManager(const std::string& hostToAllow) {
  // The manager asks for elevation, which CreateProcess refuses; the shell
  // asks the user for consent and starts it. A missing manager or a refused
  // consent shows nothing.
  const std::string program = module_.AppPath + "\\" + file::Manager;
  SHELLEXECUTEINFOA start{};
  start.cbSize = sizeof start;
  start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  start.hwnd = hwnd_;
  start.lpVerb = "open";
  start.lpFile = program.c_str();
  const std::string parameters = hostToAllow.empty() ? std::string() : kAllowSiteOption + hostToAllow;
  start.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  start.lpDirectory = module_.AppPath.empty() ? nullptr : module_.AppPath.c_str();
  start.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&start);
}

void FrmTrayForm::PlayBlockWave() {
  const std::string wave = module_.AppPath + kBlockSoundSuffix;
  PlaySoundA(wave.c_str(), nullptr, SND_ASYNC);
}

void FrmTrayForm::PlayBlockBeep() { Beep(kBlockBeepHz, kBlockBeepMs); }

void FrmTrayForm::SetTipText(const std::string& tip) {
  char* field = module_.TrayIconData.szTip;
  const std::size_t n = tip.size() < kTipField - 1 ? tip.size() : kTipField - 1;
  std::memset(field, 0, kTipField);
  std::memcpy(field, tip.data(), n);
}

void FrmTrayForm::ShowTip(const std::string& tip) {
  SetTipText(tip);
  Shell_NotifyIconA(NIM_MODIFY, &module_.TrayIconData);
}

std::function<bool(std::string&)> FrmTrayForm::WhiteListLines() {
  // Only the manager creates the list; a line no keyword could be ends the
  // reading, as it does the browser helper's.
  auto reader = std::make_shared<win32::TextFileReader>(
      module_.AppPath + "\\" + file::WhiteList, win32::TextFileReader::OpenMode::Plain, kWhiteListLineLimit);
  return [reader](std::string& line) { return reader->Next(line); };
}

std::string FrmTrayForm::ReadBlockedList() {
  // Written at low integrity: a text over the bound is no list at all.
  std::string stored;
  if (!win32::ReadRegText(HKEY_CURRENT_USER, kBlockedListKey, kBlockedListValue, kBlockedListBytes + 1, stored)) {
    return std::string();
  }
  return stored;
}

std::string FrmTrayForm::ReadLastBlocked() {
  std::string site;
  if (!win32::ReadRegText(HKEY_CURRENT_USER, kBlockedListKey, value::LastBlocked, kSiteLimit + 1, site)) return "";
  return site;
}

void FrmTrayForm::WriteBlockedList(const std::string& stored) {
  // The browser helper made the key with the first entry; an empty list
  // stays an empty value there.
  win32::WriteRegText(HKEY_CURRENT_USER, kBlockedListKey, kBlockedListValue, stored);
}

bool FrmTrayForm::PostOpenToFrame(std::int32_t frame, std::uint32_t id) {
  // A closed frame's handle may name some other window by now: only a
  // browser frame is asked.
  const HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(frame));
  char name[16] = {};
  if (frame == 0 || !openBlockedMessage_ || !IsWindow(window) || GetClassNameA(window, name, sizeof name) == 0 ||
      std::strcmp(name, kIeFrameClass) != 0) {
    return false;
  }
  return PostMessageA(window, openBlockedMessage_, static_cast<WPARAM>(id), 0) != FALSE;
}

void FrmTrayForm::OpenAddress(const std::string& address) {
  ShellExecuteA(hwnd_, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace vendrolix::tray
