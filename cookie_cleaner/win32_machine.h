// The cleaner's view of a Windows machine: the installation folder beside
// the component's own file, the current user's shell folders and the
// settings read the way the cookie manager reads them.
#pragma once

#include <windows.h>

#include "cleaning.h"
#include "win32/file_io.h"
#include "win32/ie_cookie_store.h"
#include "win32/policy_reader.h"

namespace vendrolix::cleaner {

// A keep list file whole, as ReadKeepFile reads it; nullopt when it is
// missing or unreadable.
std::optional<std::string> ReadKeepFileAt(const std::string& path);

class Win32Machine final : public Machine {
 public:
  explicit Win32Machine(HMODULE component) : component_(component) {}

  std::optional<std::string> ReadKeepFile(const std::string& fileName) override;
  std::optional<std::string> ShellFolder(const std::string& name) override;
  std::optional<std::string> StoredNetscapeProfile() override;
  bool FolderExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  std::vector<std::string> SubfoldersOf(const std::string& folder) override;
  bool IsPlainLocal(const std::string& path) override { return win32::IsPlainLocalPath(path); }
  std::optional<std::string> ReadBytes(const std::string& path) override;
  bool ReplaceBytes(const std::string& path, const std::string& content) override;
  cookies::IeCookieStore& IeStore() override { return store_; }
  Policy ReadCookiePolicy() override { return win32::ReadPolicy(kPolicyKeepCookies); }

 private:
  HMODULE component_;
  win32::WinInetCookieStore store_;
};

}  // namespace vendrolix::cleaner
