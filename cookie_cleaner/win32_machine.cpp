#include "win32_machine.h"

#include "cookies.h"
#include "win32/CRegistry.h"
#include "win32/file_io.h"
#include "win32/handles.h"

namespace vendrolix::cleaner {

std::optional<std::string> ReadKeepFileAt(const std::string& path) {
  // Read whole so that a read failure is told apart from an empty list: the
  // line reader would report both as "no line", and an empty line deletes all.
  std::string content;
  if (!win32::ReadWholeFile(path, content)) return std::nullopt;
  return content;
}

std::optional<std::string> Win32Machine::ReadKeepFile(const std::string& fileName) {
  const std::string folder = win32::ModuleFolder(component_);
  if (folder.empty()) return std::nullopt;
  return ReadKeepFileAt(folder + "\\" + fileName);
}

std::optional<std::string> Win32Machine::ShellFolder(const std::string& name) {
  const std::string folder = CRegistry::ForManager().GetRegPathShellFolder(name);
  if (folder.empty() || folder == kShellFolderMissing) return std::nullopt;
  return folder;
}

std::optional<std::string> Win32Machine::StoredNetscapeProfile() {
  // The manager's flavour reads a missing value as "0", which names no
  // profile folder and so falls through to the search.
  return CRegistry::ForManager().GetRegStringValue(value::PathNSCookie);
}

bool Win32Machine::FolderExists(const std::string& path) { return win32::FolderExists(path); }

bool Win32Machine::FileExists(const std::string& path) { return win32::FileExists(path); }

std::vector<std::string> Win32Machine::SubfoldersOf(const std::string& folder) {
  return win32::ListFolder(folder, win32::FolderEntries::Folders).value_or(std::vector<std::string>());
}

std::optional<std::string> Win32Machine::ReadBytes(const std::string& path) {
  std::string content;
  if (!win32::ReadWholeFile(path, content, cookies::kLargestNetscapeFile)) return std::nullopt;
  return content;
}

bool Win32Machine::ReplaceBytes(const std::string& path, const std::string& content) {
  return win32::ReplaceFileContent(path, content);
}

}  // namespace vendrolix::cleaner
