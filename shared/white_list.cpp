#include "white_list.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "convert.h"
#include "lines.h"
#include "text.h"

namespace vendrolix {

void ForEachWebSite(const std::function<bool(std::string&)>& nextLine,
                    const std::function<bool(const std::string&)>& visit) {
  std::string line;
  if (!nextLine(line)) return;
  std::int16_t count = 0;
  ConvertToInt16(line, count);
  for (std::int16_t i = 0; i < count; ++i) {
    if (!nextLine(line) || !visit(line)) return;
  }
}

std::vector<std::string> ParseWebSiteList(const std::function<bool(std::string&)>& nextLine) {
  std::vector<std::string> entries;
  ForEachWebSite(nextLine, [&entries](const std::string& entry) {
    entries.push_back(entry);
    return true;
  });
  return entries;
}

std::vector<std::string> ParseWebSiteList(std::string_view content) {
  std::vector<std::string> lines = SplitLines(content);
  std::size_t next = 0;
  return ParseWebSiteList([&](std::string& line) {
    if (next >= lines.size()) return false;
    line = lines[next++];
    return true;
  });
}

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_';
}

bool IsLiteralChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

}  // namespace

bool IsSite(std::string_view text) {
  if (text.empty() || text.size() > kSiteLimit) return false;
  // An address literal, [2001:db8::1].
  if (text.front() == '[') {
    if (text.size() < 3 || text.back() != ']') return false;
    for (char c : text.substr(1, text.size() - 2)) {
      if (!IsLiteralChar(c)) return false;
    }
    return true;
  }
  // Nothing else: no space, no control character, no menu mnemonic, no
  // line end that would split the white list's line in two.
  for (char c : text) {
    if (!IsNameChar(c)) return false;
  }
  return text.find_first_not_of('.') != std::string_view::npos;
}

bool IsHostToAllow(std::string_view text) {
  if (text.empty() || text.size() > kSiteLimit || text.front() == '.' || text.back() == '.') return false;
  if (text.find("..") != std::string_view::npos || text.find('.') == std::string_view::npos) return false;
  for (char c : text) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) {
      return false;
    }
  }
  return true;
}

std::string HostToAllowOfCommandLine(std::string_view commandLine) {
  // The program's name, quoted or not, as the system splits it.
  std::size_t at = commandLine.find_first_not_of(" \t");
  if (at == std::string_view::npos) return std::string();
  if (commandLine[at] == '"') {
    at = commandLine.find('"', at + 1);
    if (at == std::string_view::npos) return std::string();
    ++at;
  } else {
    at = commandLine.find_first_of(" \t", at);
    if (at == std::string_view::npos) return std::string();
  }
  const std::string_view arguments = commandLine.substr(at);
  const std::size_t first = arguments.find_first_not_of(" \t");
  const std::size_t last = arguments.find_last_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  const std::string_view argument = arguments.substr(first, last - first + 1);
  const std::string_view option = kAllowSiteOption;
  if (argument.size() <= option.size() || !EqualsNoCase(argument.substr(0, option.size()), option)) {
    return std::string();
  }
  const std::string_view host = argument.substr(option.size());
  return IsHostToAllow(host) ? std::string(host) : std::string();
}

std::string SiteOfAddress(std::string_view address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return std::string();
  const std::string_view name = address.substr(0, scheme);
  if (!EqualsNoCase(name, "http") && !EqualsNoCase(name, "https") && !EqualsNoCase(name, "ftp")) {
    return std::string();
  }
  std::string_view authority = address.substr(scheme + 3);
  authority = authority.substr(0, authority.find_first_of("/?#\\"));
  const std::size_t user = authority.rfind('@');
  if (user != std::string_view::npos) authority.remove_prefix(user + 1);
  std::string_view host = authority;
  if (!host.empty() && host.front() == '[') {
    host = host.substr(0, host.find(']') == std::string_view::npos ? host.size() : host.find(']') + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  return IsSite(host) ? std::string(host) : std::string();
}

namespace {

std::string_view TrimmedView(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string_view();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.';
}

// The length of the scheme when address begins "scheme://", else 0.
std::size_t SchemeLength(std::string_view address) {
  const std::size_t mark = address.find("://");
  if (mark == 0 || mark == std::string_view::npos) return 0;
  for (std::size_t i = 0; i < mark; ++i) {
    if (!IsSchemeChar(address[i])) return 0;
  }
  return mark;
}

}  // namespace

ListedAddress::Parts ListedAddress::Split(std::string_view address) {
  Parts parts;
  const std::string_view before = address.substr(0, address.find_first_of("?#"));
  const std::size_t scheme = SchemeLength(before);
  if (scheme == 0) {
    parts.beforeQuery.assign(before);
    return parts;
  }
  const std::size_t start = scheme + 3;
  // The browser reads a backslash in a web address's authority as "/".
  const std::size_t end = std::min(before.find_first_of("/\\", start), before.size());
  std::string_view authority = before.substr(start, end - start);
  const std::size_t user = authority.rfind('@');
  if (user != std::string_view::npos) authority.remove_prefix(user + 1);
  parts.host.assign(authority);
  parts.beforeQuery.reserve(before.size());
  parts.beforeQuery.append(before.substr(0, start)).append(authority).append(before.substr(end));
  return parts;
}

ListedAddress::ListedAddress(Parts parts)
    : host_(std::move(parts.host)),
      beforeQuery_(std::move(parts.beforeQuery)),
      hostFinder_(host_),
      addressFinder_(beforeQuery_) {}

bool ListedAddress::Matches(std::string_view keyword) const {
  keyword = TrimmedView(keyword);
  if (keyword.empty()) return false;
  if (keyword.find('/') != std::string_view::npos) return addressFinder_.Contains(keyword);
  return hostFinder_.Contains(keyword);
}

bool ListAllowsSite(const std::function<bool(std::string&)>& nextLine, std::string_view site) {
  const ListedAddress address("http://" + std::string(site) + "/");
  bool listed = false;
  ForEachWebSite(nextLine, [&](const std::string& entry) { return !(listed = address.Matches(entry)); });
  return listed;
}

std::size_t FindSite(const std::vector<std::string>& entries, std::string_view site) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EqualsNoCase(entries[i], site)) return i;
  }
  return std::string::npos;
}

}  // namespace vendrolix
