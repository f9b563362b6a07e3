#include "hooks.h"

#include <algorithm>

#include "convert.h"
#include "settings.h"
#include "text.h"

namespace vendrolix::helper {

namespace {

constexpr std::string_view kBrowserClassPrefix = "INTERNET EXPLORER";
constexpr std::string_view kHiddenClass = "INTERNET EXPLORER_HIDDEN";
constexpr std::string_view kPageClass = "INTERNET EXPLORER_SERVER";
constexpr std::int32_t kDialogMessageWindowMs = 5000;

// Hook codes are tested as the 16-bit numbers they once were.
bool NegativeCode(int nCode) { return static_cast<std::int16_t>(nCode) < 0; }

std::int32_t AsHandle32(std::intptr_t window) { return static_cast<std::int32_t>(window); }

}  // namespace

bool IsListedClass(std::string_view upperName) { return ContainsNoCase(kExclusionList, upperName); }

std::string HookClassName(std::string_view returned) { return ToUpper(Trim(returned)); }

void OnMouseMessage(int nCode, unsigned message, WindowState& window, std::int32_t& buttonUpStamp, MouseEnv& env) {
  if (NegativeCode(nCode)) return;
  std::int32_t& clickStamp = window.ClickStamp;
  if (message == kLeftButtonDown) {
    const std::string returned = env.TargetClassName();
    const std::string name = HookClassName(returned);
    const bool browserOwn =
        returned.size() > kBrowserClassPrefix.size() && name.compare(0, kBrowserClassPrefix.size(), kBrowserClassPrefix) == 0;
    clickStamp = (browserOwn || IsListedClass(name)) ? 0 : env.Now();
  } else if (message == kLeftButtonUp) {
    const std::string name = HookClassName(env.TargetClassName());
    buttonUpStamp = env.Now();
    window.ReleaseStamp = buttonUpStamp;
    clickStamp = 0;
    if (IsListedClass(name)) return;
    clickStamp = buttonUpStamp;
    if (name == kHiddenClass) clickStamp = 0;
    if (name == kPageClass && env.PopupText() == "3" && env.CursorIsFrameCursor()) clickStamp = 0;
  }
}

std::int32_t DialogGracePeriod(unsigned trigger, std::int16_t level) {
  if (trigger == kDialogMessage) {
    if (level == 1) return 5000;
    if (level == 3) return 1200;
    return 2500;
  }
  if (level == 1) return 2000;
  return 1200;
}

namespace {

// Looks for dialogs of this browser window that the previous scan did not
// see. True when one was found (the last one enumerated is watch.NewDialog).
bool Scan(DialogWatch& watch, DialogEnv& env) {
  watch.PreviousDialogList.swap(watch.DialogList);
  watch.DialogList.clear();
  watch.NewDialog = 0;
  // Without its frame window this browser window owns no dialog it could
  // tell apart: an unowned one belongs to some other program.
  if (watch.FrameWindow == 0) return false;
  const bool enumerated = env.EnumTopLevel([&](std::intptr_t window) {
    if (env.OwnerOf(window) != watch.FrameWindow) return;
    if (Trim(env.ClassNameOf(window)) != kDialogClass) return;
    const std::int32_t handle = AsHandle32(window);
    watch.DialogList.push_back(handle);
    const auto& seen = watch.PreviousDialogList;
    if (std::find(seen.begin(), seen.end(), handle) == seen.end()) watch.NewDialog = window;
  });
  return enumerated && watch.NewDialog != 0;
}

void Judge(unsigned trigger, DialogWatch& watch, WindowState& window, std::int32_t& buttonUpStamp, DialogEnv& env) {
  std::int16_t sound = 0;
  ConvertToInt16(env.ReadSetting(value::Sound), sound);
  const Policy policy = env.ReadPopupPolicy();
  const std::int16_t level = LevelInForce(env, policy);
  if (level == 0 || env.CtrlDown() || PolicyAllows(policy.allowList, window.CurrentUrl) ||
      env.IsBlockedUrl(window.CurrentUrl) == 0) {
    return;
  }

  const auto soundOnly = [&] {
    if (sound == 0) {
      env.PlayWave();
    } else if (sound == 1) {
      env.Beep();
    }
  };
  if (level == 4) {
    env.CloseDialog(watch.NewDialog);
    TellTray(window.TrayBlockButton, window.CurrentUrl, env);
    soundOnly();
    return;
  }
  // No release since the last judgement: nothing can have asked for the dialog.
  const bool rejected = buttonUpStamp == 0 ||
                        ElapsedMs(env.Now(), buttonUpStamp) > DialogGracePeriod(trigger, level);
  if (rejected) {
    if (trigger == kDialogMessage) {
      env.CloseDialog(watch.NewDialog);
      TellTray(window.TrayBlockButton, window.CurrentUrl, env);
      soundOnly();
    } else {
      soundOnly();
      env.CloseDialog(watch.NewDialog);
      TellTray(window.TrayBlockButton, window.CurrentUrl, env);
    }
  }
  buttonUpStamp = 0;
}

}  // namespace

void OnHookedMessage(int nCode, unsigned message, DialogWatch& watch, WindowState& window,
                     std::int32_t& buttonUpStamp, DialogEnv& env) {
  if (NegativeCode(nCode)) return;
  if (message == kDialogMessage) {
    watch.DialogStamp = env.Now();
    window.DialogFrame = AsHandle32(env.FindDialogFrame());
    if (window.DialogFrame == 0) {
      watch.DialogList.clear();
      return;
    }
    if (Scan(watch, env)) Judge(kDialogMessage, watch, window, buttonUpStamp, env);
  } else if (message == kUserMessage) {
    window.DialogFrame = AsHandle32(env.FindDialogFrame());
    if (window.DialogFrame == 0) {
      watch.UserMessageCount = 0;
      watch.DialogList.clear();
      return;
    }
    if (ElapsedMs(env.Now(), watch.DialogStamp) > kDialogMessageWindowMs) {
      watch.UserMessageCount = 0;
      return;
    }
    ++watch.UserMessageCount;
    switch (watch.UserMessageCount) {
      case 1:
      case 3:
      case 5:
      case 8:
      case 11:
        if (Scan(watch, env)) Judge(kUserMessage, watch, window, buttonUpStamp, env);
        break;
      default:
        window.DialogFrame = 0;
        if (watch.UserMessageCount > 15) watch.UserMessageCount = 0;
        break;
    }
  }
}

}  // namespace vendrolix::helper
