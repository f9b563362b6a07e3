// ANSI text files on Windows: the suite's data files and their atomic
// replacement.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "atomic_write.h"
#include "lines.h"
#include "win32/handles.h"

namespace vendrolix::win32 {

class Win32FileOps final : public FileOps {
 public:
  bool Create(const std::string& path) override;
  bool Write(const std::string& bytes) override;
  bool Flush() override;
  void Close() override;
  bool Replace(const std::string& source, const std::string& target) override;
  void Remove(const std::string& path) override;
  void Pause(int milliseconds) override;

 private:
  UniqueFile file_;
};

// Replaces path's content atomically (see atomic_write.h).
bool ReplaceFileContent(const std::string& path, const std::string& content);

// An open file read line by line. A reader of a data file that does not
// exist creates it empty, as the suite's readers always have; OpenMode::Plain
// leaves a missing file missing.
class TextFileReader {
 public:
  enum class OpenMode { CreateIfMissing, Plain };

  // maxLine bounds a line as LineReader does: a longer one fails the read.
  explicit TextFileReader(const std::string& path, OpenMode mode = OpenMode::CreateIfMissing,
                          std::size_t maxLine = LineReader::kNoLimit);
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool is_open() const { return file_.valid(); }
  bool Next(std::string& line) { return is_open() && reader_.Next(line); }
  bool Next(std::string_view& line) { return is_open() && reader_.Next(line); }

 private:
  UniqueFile file_;
  LineReader reader_;
};

// The whole file, or false when it cannot be opened or read or holds more
// than maxBytes.
bool ReadWholeFile(const std::string& path, std::string& content, std::size_t maxBytes = static_cast<std::size_t>(-1));

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// The names of a folder's files or of its subfolders ("." and ".." never);
// none for a folder that does not exist, nullopt for one that cannot be
// listed whole (nothing is judged on half a list).
enum class FolderEntries { Files, Folders };
std::optional<std::vector<std::string>> ListFolder(const std::string& folder, FolderEntries which);

// A drive-letter path whose drive is a fixed local one and which is no
// reparse point (junction, link). Give it only paths whose text is known to
// be a drive-letter path: a network path is never to be asked about.
bool IsPlainLocalPath(const std::string& path);

// A module's file (null: the program), or "" when it cannot be named.
std::string ModulePath(HMODULE module);
// Its folder without a trailing backslash.
std::string ModuleFolder(HMODULE module);

}  // namespace vendrolix::win32
