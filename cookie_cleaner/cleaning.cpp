#include "cleaning.h"

#include "cookies.h"
#include "settings.h"
#include "text.h"

namespace vendrolix::cleaner {

bool IsAccessCode(std::string_view code) { return code == kCleanerAccessCode; }

namespace {

// Length of the line end starting at pos (0 when there is none): CR LF, a
// lone LF or a lone CR, as the suite's line reader takes them.
std::size_t LineEndAt(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\r') return (pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
  if (text[pos] == '\n') return 1;
  return 0;
}

}  // namespace

NetscapeRewrite RewriteNetscapeCookies(std::string_view content, std::string_view keepLine,
                                       const std::vector<std::string>& keptHosts) {
  NetscapeRewrite result;
  result.content.reserve(content.size());
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = content.size();
    const std::size_t next = end + LineEndAt(content, end);
    const auto domain = cookies::NetscapeDomain(content.substr(start, end - start));
    if (!domain || cookies::IsKept(keepLine, *domain) || PolicyKeepsSite(keptHosts, *domain)) {
      result.content.append(content.substr(start, next - start));
    } else {
      ++result.dropped;
    }
    start = next;
  }
  return result;
}

std::optional<std::string> KeepLineOf(const std::optional<std::string>& file) {
  if (!file || file->empty()) return std::nullopt;
  return file->substr(0, file->find_first_of("\r\n"));
}

std::optional<std::string> FindNetscapeProfile(Machine& machine) {
  const cookies::ProfileFolders folders{[&](const std::string& path) { return machine.FolderExists(path); },
                                        [&](const std::string& path) { return machine.FileExists(path); },
                                        [&](const std::string& folder) { return machine.SubfoldersOf(folder); },
                                        [&](const std::string& path) { return machine.IsPlainLocal(path); }};
  const auto profile = cookies::FindNetscapeProfile(folders, machine.StoredNetscapeProfile().value_or(""),
                                                    machine.ShellFolder("AppData"));
  if (!profile) return std::nullopt;
  return profile->folder;
}

Outcome CleanIeCookies(Machine& machine) {
  Outcome outcome;
  const auto keepLine = KeepLineOf(machine.ReadKeepFile(file::IeKeepList));
  if (!keepLine) return outcome;
  const Policy policy = machine.ReadCookiePolicy();
  if (policy.readFailed) return outcome;
  auto folder = machine.ShellFolder("Cookies");
  if (folder && !machine.FolderExists(*folder)) folder.reset();
  cookies::IeCookieStore& store = machine.IeStore();
  const cookies::IeCookies found = cookies::ReadIeCookies(store, folder);
  if (!found.read) return outcome;
  outcome.acted = true;
  for (const cookies::IeCookie* cookie : cookies::IeCookiesToDelete(found.cookies, *keepLine)) {
    bool enforced = false;
    for (const std::string& site : cookie->sites) enforced = enforced || PolicyKeepsSite(policy.keepCookies, site);
    if (enforced) continue;
    const bool gone = cookie->entryName.empty() ? store.RemoveFile(cookie->file) : store.DeleteEntry(cookie->entryName);
    if (gone) {
      ++outcome.removed;
    } else {
      ++outcome.failures;
    }
  }
  return outcome;
}

Outcome CleanNetscapeCookies(Machine& machine) {
  Outcome outcome;
  const auto keepLine = KeepLineOf(machine.ReadKeepFile(file::NsKeepList));
  if (!keepLine) return outcome;
  const Policy policy = machine.ReadCookiePolicy();
  if (policy.readFailed) return outcome;
  const auto profile = FindNetscapeProfile(machine);
  if (!profile) return outcome;
  const std::string path = *profile + cookies::kNetscapeCookieFile;
  const auto content = machine.ReadBytes(path);
  if (!content) return outcome;
  outcome.acted = true;
  const NetscapeRewrite rewrite = RewriteNetscapeCookies(*content, *keepLine, policy.keepCookies);
  if (rewrite.dropped == 0) return outcome;  // nothing to drop: leave the file alone
  if (machine.ReplaceBytes(path, rewrite.content)) {
    outcome.removed = rewrite.dropped;
  } else {
    ++outcome.failures;
  }
  return outcome;
}

}  // namespace vendrolix::cleaner
