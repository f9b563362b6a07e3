// The tray's hidden main window: its three buttons that other programs click,
// the popup menu, the notification-area icon, and the TrayShell the
// controller acts through.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ModTray.h"
#include "exit_watch.h"
#include "tray_logic.h"
#include "win32/CRegistry.h"
#include "win32/handles.h"
#include "win32/policy_reader.h"

namespace vendrolix::tray {

// The settings through the tray's CRegistry.
class RegistrySettings final : public TraySettings {
 public:
  std::string Read(const std::string& name, const std::string& missingText) override;
  void Write(const std::string& name, const std::string& text) override;
  void Remove(const std::string& name) override;
};

class FrmTrayForm final : public TrayShell {
 public:
  FrmTrayForm(HINSTANCE instance, ModTray& module);
  ~FrmTrayForm() override;
  FrmTrayForm(const FrmTrayForm&) = delete;
  FrmTrayForm& operator=(const FrmTrayForm&) = delete;

  // Creates the window and runs its load; false when it could not be made.
  bool Load();
  // True once the window is unloaded: the program must end, nothing more runs.
  bool unloaded() const { return unloaded_; }
  // The unload, for a run that ends some other way (a WM_QUIT from outside):
  // no way out leaves the icon or a published form handle behind.
  void Unload() { Form_Unload(); }

  // TrayShell
  void ShowIcon(TrayIcon icon) override;
  void BringToFront() override;
  bool StartTimer(TrayTimer timer, unsigned milliseconds) override;
  std::uint64_t NowMs() override;
  void WriteMessengerStart(std::int32_t startType) override;
  void RunNet(const std::string& parameters) override;
  void StartManager(const std::string& hostToAllow) override;
  void PlayBlockWave() override;
  void PlayBlockBeep() override;
  void ShowTip(const std::string& tip) override;
  std::function<bool(std::string&)> WhiteListLines() override;
  Policy ReadTrayPolicy() override { return win32::ReadPolicy(kPolicyLevel | kPolicyLock); }
  std::string ReadBlockedList() override;
  std::string ReadLastBlocked() override;
  void WriteBlockedList(const std::string& stored) override;
  bool PostOpenToFrame(std::int32_t frame, std::uint32_t id) override;
  void OpenAddress(const std::string& address) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void Form_Unload();
  void Form_Resize();
  // event: the low word of the icon's message; anchor: its wParam, the
  // screen point of the fourth version's WM_CONTEXTMENU.
  void TrayCallback(UINT event, WPARAM anchor);
  void OpenMenu(POINT at);
  void SetTipText(const std::string& tip);
  void MenuCommand(UINT id);
  void ButtonClick(int id);
  void TimerTick(WPARAM id);
  void cmdForm_Click();
  void ExitWatchTick();
  void EndExitWatch();
  void cmdBlock_Click();
  void cmdBlockNSAOL_Click();
  void mnuHelp_Click();

  void BuildMenu();
  void ApplyChecks();
  void ShowSiteItem();
  void ShowBlockedItems();
  void AddIcon();
  HICON IconHandle(TrayIcon icon) const;
  void Publish(const char* name, HWND window);

  HINSTANCE instance_;
  ModTray& module_;
  RegistrySettings settings_;
  TrayController controller_;
  std::optional<CRegistry> Registry;
  HWND hwnd_ = nullptr;
  HWND cmdForm_ = nullptr;
  HWND cmdBlock_ = nullptr;
  HWND cmdBlockNSAOL_ = nullptr;
  HMENU mnuPopupTray_ = nullptr;
  // The site the open menu's item names: the one allowed when it is chosen,
  // even if another block recorded another meanwhile.
  std::string menuSite_;
  // The entries the open menu's "Blocked Pop-ups" items stand for, by item.
  std::vector<std::uint32_t> menuBlocked_;
  HMENU mnuBlocked_ = nullptr;
  UINT openBlockedMessage_ = 0;
  win32::UniqueIcon blockingIcon_;
  win32::UniqueIcon allowingIcon_;
  UINT taskbarCreated_ = 0;
  bool loading_ = false;
  // The shell took NOTIFYICON_VERSION_4 for the icon.
  bool version4_ = false;
  bool unloaded_ = false;
  // The watch a "Form Close" click started, run by the window's timer; the
  // platform outlives the watch that uses it.
  std::unique_ptr<ExitWatchPlatform> exitPlatform_;
  std::unique_ptr<ExitWatch> exitWatch_;
  bool stepping_ = false;
  // The popup menu is tracking: a watch that ends the tray meanwhile waits
  // for it to close, as the window it belongs to must stay till then.
  bool menuOpen_ = false;
  bool unloadAfterMenu_ = false;
};

}  // namespace vendrolix::tray
