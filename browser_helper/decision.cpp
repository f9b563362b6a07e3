#include "decision.h"

#include "convert.h"
#include "settings.h"
#include "text.h"
#include "white_list.h"

namespace vendrolix::helper {

namespace {

// Whole-number division of a positive value rounded to the nearest whole
// number, in integers: floating point would follow whatever rounding mode a
// plug-in in the browser process left behind. The divisions here (by 2 and
// by 3 of whole hundreds and fifties) never meet an exact half.
std::int32_t DivideRounded(std::int32_t value, std::int32_t divisor) {
  return (2 * value + divisor) / (2 * divisor);
}

}  // namespace

std::int32_t StampOfTime(int hour, int minute, int second, int milliseconds) {
  const std::int32_t stamp = ((hour * 60 + minute) * 60 + second) * 1000 + milliseconds;
  return stamp == 0 ? 1 : stamp;
}

std::int32_t ElapsedMs(std::int32_t now, std::int32_t stamp) {
  std::int64_t elapsed = (static_cast<std::int64_t>(now) - stamp) % kDayMs;
  if (elapsed < 0) elapsed += kDayMs;
  return static_cast<std::int32_t>(elapsed);
}

std::int32_t GracePeriod(std::int16_t countIE, bool dialogPresent, std::int16_t level) {
  // The count is compared unsigned: a negative count is a large one.
  const auto count = static_cast<std::uint16_t>(countIE);
  std::int32_t base = 1000;
  if (count <= 2) {
    base = 600;
  } else if (count <= 4) {
    base = 700;
  } else if (count <= 6) {
    base = 800;
  } else if (count <= 8) {
    base = 900;
  }
  if (dialogPresent) base += DivideRounded(base, 2);
  if (level == 1) {
    base *= 2;
  } else if (level == 3) {
    base -= DivideRounded(base, 3);
  }
  return base;
}

bool IsTrayProgram(std::string_view imagePath, std::string_view appPath) {
  const std::string_view tray = file::Tray;
  if (imagePath.size() != appPath.size() + 1 + tray.size() || imagePath[appPath.size()] != '\\') return false;
  return EqualsNoCase(imagePath.substr(0, appPath.size()), appPath) &&
         EqualsNoCase(imagePath.substr(appPath.size() + 1), tray);
}

std::int16_t WhiteListLookup(const std::function<bool(std::string&)>& nextLine, std::string_view url) {
  std::string text;
  return WhiteListLookupOf(
      [&](std::string_view& line) {
        if (!nextLine(text)) return false;
        line = text;
        return true;
      },
      url);
}

std::string PopupInForce(BlockEnv& env, const Policy& policy) {
  return policy.level ? ToDecimalText(*policy.level) : env.ReadSetting(value::Popup);
}

std::int16_t LevelInForce(BlockEnv& env, const Policy& policy) {
  std::int16_t level = 0;
  ConvertToInt16(PopupInForce(env, policy), level);
  return level;
}

void TellTray(std::int32_t trayBlockButton, const std::string& address, BlockEnv& env, const std::string& target) {
  env.RecordBlocked(SiteOfAddress(address), target);
  env.PostClick(trayBlockButton);
}

void BlockReaction(std::int16_t sound, std::int32_t trayBlockButton, const std::string& address, BlockEnv& env,
                   const std::string& target) {
  if (sound == 0) {
    env.PlayWave();
  } else if (sound == 1) {
    env.Beep();
  }
  TellTray(trayBlockButton, address, env, target);
}

namespace {

// What NewWindow3 says of a request.
struct Request {
  std::uint32_t flags;
  const std::string& url;
};

// The window this helper opens for the user, asked for once: NewWindow2
// alone names no address, so there the next request is it.
bool IsOpeningBlocked(WindowState& state, NewWindowEnv& env, const Request* request) {
  if (state.openingBlocked.empty()) return false;
  if (ElapsedMs(env.Now(), state.openingStamp) > kOpeningBlockedMs) {
    state.openingBlocked.clear();
    return false;
  }
  if (request && request->url != state.openingBlocked) return false;
  state.openingBlocked.clear();
  return true;
}

// The decision of one request; request only when NewWindow3 carries it.
// True when the window may open.
bool Decide(WindowState& state, NewWindowEnv& env, const Request* request) {
  // A helper hosted by the shell has no clicks, hooks or folder of its own:
  // it lets every window open.
  if (!state.active) return true;
  if (IsOpeningBlocked(state, env, request)) return true;

  if (state.refreshHandles || state.TrayFormButton == 0) {
    ConvertToInt32(env.ReadSetting(value::hForm), state.TrayFormButton);
    ConvertToInt32(env.ReadSetting(value::hButton), state.TrayBlockButton);
    state.refreshHandles = false;
  }
  std::int16_t sound = 0;
  ConvertToInt16(env.ReadSetting(value::Sound), sound);
  const Policy policy = env.ReadPopupPolicy();
  const std::int16_t level = LevelInForce(env, policy);
  if (level == 0) return true;

  state.CurrentUrl = env.LocationUrl();
  if (PolicyAllows(policy.allowList, state.CurrentUrl) || env.IsBlockedUrl(state.CurrentUrl) == 0 || env.CtrlDown()) {
    state.ClickStamp = 0;
    return true;
  }
  if (level == 4) state.ClickStamp = 0;

  // Read once and only when a stamp needs it, as before the flags existed.
  std::int32_t grace = -1;
  const auto graceMs = [&] {
    if (grace < 0) {
      ConvertToInt16(env.ReadSetting(value::CountIE), state.countIE);
      grace = GracePeriod(state.countIE, state.DialogFrame != 0, level);
    }
    return grace;
  };
  bool allowed = false;
  if (request && level != 4) {
    constexpr std::uint32_t kUserAction = kNewWindowUserInitiated | kNewWindowFirstOfAction;
    if (request->flags & (kNewWindowUserRequested | kNewWindowUserAllowed)) {
      allowed = true;
    } else if ((request->flags & kUserAction) == kUserAction) {
      // With a release this recent the mouse did it, and the mouse's own
      // rules (level 3's link cursor) decide.
      allowed = state.ReleaseStamp == 0 || ElapsedMs(env.Now(), state.ReleaseStamp) > graceMs();
    }
  }
  if (state.ClickStamp != 0) {
    if (!allowed) allowed = ElapsedMs(env.Now(), state.ClickStamp) <= graceMs();
    state.ClickStamp = 0;
  }
  if (allowed) return true;
  env.CancelWindow();
  BlockReaction(sound, state.TrayBlockButton, state.CurrentUrl, env, request ? request->url : std::string());
  return false;
}

}  // namespace

void OnNewWindow(WindowState& state, NewWindowEnv& env) {
  if (state.letThroughByNewWindow3) {
    state.letThroughByNewWindow3 = false;
    return;
  }
  Decide(state, env, nullptr);
}

void OnNewWindow3(WindowState& state, NewWindowEnv& env, std::uint32_t flags, const std::string& url) {
  const Request request{flags, url};
  state.letThroughByNewWindow3 = Decide(state, env, &request);
}

void OnOpenBlocked(WindowState& state, std::int32_t frame, std::uint32_t id, OpenBlockedEnv& env) {
  if (!state.active || frame == 0) return;
  std::vector<BlockedEntry> entries = ParseBlockedList(env.ReadBlockedList());
  const BlockedEntry entry = TakeBlocked(entries, id);
  if (entry.id == 0 || entry.frame != frame || !IsOpenableAddress(entry.address)) return;
  state.openingBlocked = entry.address;
  state.openingStamp = env.Now();
  if (!env.OpenInNewWindow(entry.address)) {
    state.openingBlocked.clear();
    return;
  }
  env.WriteBlockedList(FormatBlockedList(entries));
}

void OnBeforeNavigate(WindowState& state) {
  if (!state.firstNavigation) return;
  state.ClickStamp = 0;
  state.firstNavigation = false;
}

}  // namespace vendrolix::helper
