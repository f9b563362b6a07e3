// The registry side of the administrator's policies (policy.h): one open of
// the policy key per read, so that a machine without policies pays one
// failed open and nothing more.
#pragma once

#include "policy.h"

namespace vendrolix::win32 {

// The policy parts asked for (PolicyPart bits), read afresh. Never throws.
Policy ReadPolicy(unsigned parts);

// EnforcedSettingText, read afresh; no registry call for a setting no policy
// sets.
std::optional<std::string> ReadEnforcedSetting(const char* settingName);

}  // namespace vendrolix::win32
