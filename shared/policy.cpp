#include "policy.h"

#include "settings.h"
#include "text.h"
#include "white_list.h"

namespace vendrolix {

std::optional<std::int16_t> PolicyLevelOf(std::optional<std::uint32_t> dword) {
  if (!dword || *dword > 4) return std::nullopt;
  return static_cast<std::int16_t>(*dword);
}

std::optional<bool> PolicySwitchOf(std::optional<std::uint32_t> dword) {
  if (!dword || *dword > 1) return std::nullopt;
  return *dword == 1;
}

bool PolicyFlagOf(std::optional<std::uint32_t> dword) { return dword && *dword == 1; }

std::optional<std::string> EnforcedSettingText(const Policy& policy, std::string_view settingName) {
  std::optional<bool> on;
  if (settingName == value::Popup) {
    if (policy.level) return std::string(1, static_cast<char>('0' + *policy.level));
  } else if (settingName == value::AutoClean) {
    on = policy.autoClean;
  } else if (settingName == value::NSAutoClean) {
    on = policy.nsAutoClean;
  }
  if (!on) return std::nullopt;
  return std::string(*on ? "1" : "0");
}

unsigned PolicyPartOfSetting(std::string_view settingName) {
  if (settingName == value::Popup) return kPolicyLevel;
  if (settingName == value::AutoClean || settingName == value::NSAutoClean) return kPolicyCleaning;
  return 0;
}

bool AddPolicyEntry(std::vector<std::string>& entries, std::string_view text) {
  if (entries.size() >= kPolicyEntryCount) return false;
  std::string entry = Trim(text);
  if (entry.empty() || entry.size() > kPolicyEntryChars) return true;
  for (const char c : entry) {
    // A line break would split the entry wherever it is shown or matched.
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  entries.push_back(std::move(entry));
  return entries.size() < kPolicyEntryCount;
}

bool PolicyAllows(const std::vector<std::string>& allowList, std::string_view url) {
  if (allowList.empty()) return false;
  const ListedAddress address(url);
  for (const std::string& keyword : allowList) {
    if (address.Matches(keyword)) return true;
  }
  return false;
}

namespace {

// The host of a cookie site: after the user ("user@"), before any path, and
// without the leading dot a domain cookie carries.
std::string_view HostOfSite(std::string_view site) {
  const std::size_t at = site.rfind('@');
  if (at != std::string_view::npos) site.remove_prefix(at + 1);
  const std::size_t slash = site.find('/');
  if (slash != std::string_view::npos) site = site.substr(0, slash);
  while (!site.empty() && site.front() == '.') site.remove_prefix(1);
  return site;
}

}  // namespace

bool PolicyKeepsSite(const std::vector<std::string>& hosts, std::string_view site) {
  const std::string_view host = HostOfSite(site);
  if (host.empty()) return false;
  for (const std::string& entry : hosts) {
    const std::string_view kept = HostOfSite(entry);
    if (kept.empty() || kept.size() > host.size()) continue;
    if (!EndsWithNoCase(host, kept)) continue;
    if (host.size() == kept.size() || host[host.size() - kept.size() - 1] == '.') return true;
  }
  return false;
}

}  // namespace vendrolix
