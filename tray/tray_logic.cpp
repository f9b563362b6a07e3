#include "tray_logic.h"

#include <vector>

#include "blocked_list.h"
#include "convert.h"
#include "settings.h"
#include "white_list.h"

namespace vendrolix::tray {

std::string PathTrayAppText(const std::string& appPath) {
  std::string text;
  text.reserve(appPath.size() * 2 + 20);
  for (char c : appPath) {
    text += c;
    if (c == '\\') text += '\\';
  }
  return text + "\\\\" + file::Tray;
}

std::string BlockedTip(int level, std::uint32_t blocks) {
  std::string tip = kTrayTip;
  if (level >= kLevelAllow && level <= kLevelAll) tip = tip + " - " + kLevelNames[level];
  if (blocks == 0) return tip;
  return tip + "\n" + ToDecimalText(blocks) + (blocks == 1 ? " pop-up blocked" : " pop-ups blocked");
}

std::string AllowSiteCaption(const std::string& site) {
  std::string shown = site.size() > kSiteCaptionChars ? site.substr(0, kSiteCaptionChars) + "..." : site;
  return "Allow Pop-ups from " + shown;
}

std::int16_t StartupLevel(TraySettings& settings, const std::string& appPath) {
  // Read with an empty default: a missing marker must not count as set.
  // The installation's marker is every user's: each takes it once, and it
  // stays for the next.
  if (settings.Read(value::FirstStart, "") == kFirstStartMarker && settings.Read(value::FirstStartTaken, "").empty()) {
    settings.Write(value::Popup, "2");
    settings.Write(value::PathTrayApp, PathTrayAppText(appPath));
    settings.Write(value::FirstStartTaken, "1");
  }
  std::int16_t level = 0;
  ConvertToInt16(settings.Get(value::Popup), level);
  if (level > kLevelAll) {
    settings.Write(value::PathTrayApp, PathTrayAppText(appPath));
    settings.Write(value::Popup, "2");
    level = kLevelDefault;
  }
  return level;
}

void TrayController::LoadLevel(std::int16_t popupLevel) {
  checks_.level = {};
  if (popupLevel >= kLevelLow && popupLevel <= kLevelAll) {
    BlockingOn = true;
    icon_ = TrayIcon::Blocking;
    checks_.level[static_cast<std::size_t>(popupLevel)] = true;
  } else if (popupLevel == kLevelAllow) {
    BlockingOn = false;
    icon_ = TrayIcon::Allowing;
    checks_.level[kLevelAllow] = true;
  }
  // Any other level: nothing checked, blocking icon, not blocking.
}

void TrayController::LoadSound() {
  std::int16_t sound = 0;  // a text that is no number means the wave sound
  ConvertToInt16(settings_.Get(value::Sound), sound);
  checks_.sound = {};
  if (sound >= kSoundWave && sound <= kSoundNone) checks_.sound[static_cast<std::size_t>(sound)] = true;
}

void TrayController::LoadMessenger(bool serviceInstalled) {
  ConvertToInt16(settings_.Get(value::BlockMessenger), MessengerState);
  if (!serviceInstalled) {
    checks_.messengerShown = false;
    return;
  }
  if (MessengerState == 0) {
    checks_.blockMessenger = false;
    checks_.allowMessenger = true;
  } else if (MessengerState == 1) {
    checks_.blockMessenger = true;
    checks_.allowMessenger = false;
  } else {
    // A block asked for but not carried out yet: done once the window is up.
    checks_.blockMessenger = true;
    checks_.allowMessenger = false;
    MessengerState = 9;
    settings_.Write(value::BlockMessenger, "1");
  }
}

void TrayController::ApplyPendingMessenger(bool serviceInstalled) {
  if (!serviceInstalled || MessengerState != 9) return;
  MessengerState = 1;
  BlockMessenger();
}

void TrayController::CheckLevelOnly(int level) {
  checks_.level = {};
  checks_.level[static_cast<std::size_t>(level)] = true;
}

void TrayController::RefreshAndFront() {
  shell_.ShowIcon(icon_);
  shell_.BringToFront();
}

bool TrayController::LevelEnforced() {
  const auto enforced = shell_.ReadTrayPolicy().level;
  if (!enforced) {
    if (checks_.levelsLocked) {
      checks_.levelsLocked = false;
      std::int16_t level = 0;
      ConvertToInt16(settings_.Get(value::Popup), level);
      LoadLevel(level);
    }
    return false;
  }
  LoadLevel(*enforced);
  checks_.levelsLocked = true;
  shell_.ShowIcon(icon_);
  return true;
}

void TrayController::RefreshPolicy() {
  const bool wasLocked = checks_.levelsLocked;
  if (!LevelEnforced() && wasLocked) shell_.ShowIcon(icon_);
}

void TrayController::SetLevel(int level) {
  if (level < kLevelLow || level > kLevelAll || LevelEnforced()) return;
  icon_ = TrayIcon::Blocking;
  BlockingOn = true;
  CheckLevelOnly(level);
  settings_.Write(value::Popup, ToDecimalText(level));
  RefreshAndFront();
}

void TrayController::AllowPopup() {
  if (LevelEnforced()) return;
  icon_ = TrayIcon::Allowing;
  BlockingOn = false;
  CheckLevelOnly(kLevelAllow);
  const std::string current = settings_.Get(value::Popup);
  if (current != "0") settings_.Write(value::PopupSave, current);
  settings_.Write(value::Popup, "0");
  RefreshAndFront();
}

void TrayController::ToggleLevel() {
  if (LevelEnforced()) return;
  if (BlockingOn) {
    icon_ = TrayIcon::Allowing;
    BlockingOn = false;
    const std::string current = settings_.Get(value::Popup);
    if (current != "0") settings_.Write(value::PopupSave, current);
    settings_.Write(value::Popup, "0");
    CheckLevelOnly(kLevelAllow);
  } else {
    icon_ = TrayIcon::Blocking;
    BlockingOn = true;
    const std::string saved = settings_.Get(value::PopupSave);
    checks_.level = {};
    int level = kLevelDefault;
    if (saved == "1" || saved == "2" || saved == "3" || saved == "4") level = saved[0] - '0';
    // A saved text that is no level goes straight to the default level: the
    // browser helper reads Popup at any moment and must never meet it.
    settings_.Write(value::Popup, ToDecimalText(level));
    checks_.level[static_cast<std::size_t>(level)] = true;
  }
  RefreshAndFront();
}

void TrayController::SelectSound(int sound) {
  if (sound < kSoundWave || sound > kSoundNone) return;
  checks_.sound = {};
  checks_.sound[static_cast<std::size_t>(sound)] = true;
  settings_.Write(value::Sound, ToDecimalText(sound));
}

void TrayController::OpenManager(const char* status, const std::string& hostToAllow) {
  settings_.Write(value::Status, status);
  shell_.StartManager(hostToAllow);
}

void TrayController::BlockMessenger() {
  checks_.blockMessenger = true;
  checks_.allowMessenger = false;
  settings_.Write(value::BlockMessenger, "1");
  shell_.WriteMessengerStart(kMessengerStartManual);
  RunNetAfterWait(kNetStopMessenger);
}

void TrayController::AllowMessenger() {
  checks_.blockMessenger = false;
  checks_.allowMessenger = true;
  settings_.Write(value::BlockMessenger, "0");
  shell_.WriteMessengerStart(kMessengerStartAutomatic);
  RunNetAfterWait(kNetStartMessenger);
}

void TrayController::RunNetAfterWait(const char* parameters) {
  // Two NET commands a few milliseconds apart would race; the one chosen
  // last is the one the start type now holds.
  pendingNet_ = parameters;
  if (!shell_.StartTimer(TrayTimer::Messenger, kMessengerWaitMs)) FinishMessengerWait();
}

void TrayController::FinishMessengerWait() {
  if (!pendingNet_) return;
  const char* parameters = pendingNet_;
  pendingNet_ = nullptr;
  shell_.RunNet(parameters);
}

void TrayController::Flash() {
  if (flashShown_ > 0) return;
  const std::uint64_t now = shell_.NowMs();
  if (LastFlashEnd && now - *LastFlashEnd < kFlashThrottleMs) return;
  FlashStep();
}

void TrayController::FlashStep() {
  if (flashShown_ < 2 * kFlashCount) {
    // Counted before it shows: a block sent to the window while the shell
    // takes the icon is then part of this flash.
    ++flashShown_;
    shell_.ShowIcon(flashShown_ % 2 == 1 ? TrayIcon::Allowing : TrayIcon::Blocking);
    // Without a timer the flash ends here rather than never, or no block
    // would flash again.
    if (shell_.StartTimer(TrayTimer::Flash, kFlashHalfPeriodMs)) return;
  }
  flashShown_ = 0;
  LastFlashEnd = shell_.NowMs();
  // The level's icon, also when the level changed during the flash. Only
  // the icon: a block comes from a browser the user works in, and the
  // hidden window must not take the keyboard from it.
  shell_.ShowIcon(icon_);
}

void TrayController::TimerDue(TrayTimer timer) {
  if (timer == TrayTimer::Messenger) {
    FinishMessengerWait();
  } else if (flashShown_ > 0) {
    FlashStep();
  }
}

std::string TrayController::Tip() const {
  int level = -1;
  for (std::size_t i = 0; i < checks_.level.size(); ++i) {
    if (checks_.level[i]) level = static_cast<int>(i);
  }
  return BlockedTip(level, blocks_);
}

void TrayController::CountBlock() {
  if (blocks_ < UINT32_MAX) ++blocks_;
  shell_.ShowTip(Tip());
}

void TrayController::NotifyBlock() {
  CountBlock();
  Flash();
}

std::string TrayController::SiteToOffer() {
  if (blocks_ == 0 || shell_.ReadTrayPolicy().lockWhiteList) return std::string();
  const std::string site = shell_.ReadLastBlocked();
  if (!IsHostToAllow(site)) return std::string();
  // Read afresh: the user may have added it by hand since.
  return ListAllowsSite(shell_.WhiteListLines(), site) ? std::string() : site;
}

void TrayController::AllowSite(const std::string& site) {
  // Handed over on the manager's command line, under the consent its start
  // asks for: never through a value that others could write.
  if (!IsHostToAllow(site)) return;
  OpenManager("0", site);
}

std::vector<BlockedItem> TrayController::BlockedMenu() {
  std::vector<BlockedItem> items;
  for (const BlockedEntry& entry : ParseBlockedList(shell_.ReadBlockedList())) {
    if (items.size() == kBlockedMenuEntries) break;
    items.push_back({entry.id, BlockedCaption(entry), IsOpenableAddress(entry.address)});
  }
  return items;
}

void TrayController::OpenBlocked(std::uint32_t id) {
  // Read again: the item's entry may have been opened or dropped since the
  // menu showed, and the stored text is for a low-integrity writer to make.
  std::vector<BlockedEntry> entries = ParseBlockedList(shell_.ReadBlockedList());
  const BlockedEntry entry = TakeBlocked(entries, id);
  if (entry.id == 0 || !IsOpenableAddress(entry.address)) return;
  if (shell_.PostOpenToFrame(entry.frame, entry.id)) return;
  shell_.WriteBlockedList(FormatBlockedList(entries));
  shell_.OpenAddress(entry.address);
}

void TrayController::ClearBlocked() { shell_.WriteBlockedList(std::string()); }

void TrayController::NotifyNsAolBlock() {
  CountBlock();
  // Read at this moment: the user may have changed it in another program.
  std::int16_t sound = 0;
  ConvertToInt16(settings_.Get(value::Sound), sound);
  if (sound == kSoundWave) {
    shell_.PlayBlockWave();
  } else if (sound == kSoundBeep) {
    shell_.PlayBlockBeep();
  }
  Flash();
}

}  // namespace vendrolix::tray
