// Bad input for every reader of a data file, on the real file system: each
// row is what lies at the file's path and what each program makes of it.
// Nothing may crash, hang or make up entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ModVendrolixIE.h"
#include "cleaning.h"
#include "cookies.h"
#include "data_files.h"
#include "settings.h"
#include "win32/file_io.h"
#include "win32_machine.h"
#include "wine_support.h"

namespace vendrolix {
namespace {

// What lies at the path: bytes, nothing, or a folder.
struct FileState {
  enum Kind { Bytes, Missing, Folder } kind = Bytes;
  std::string bytes;
};
FileState Bytes(std::string bytes) { return {FileState::Bytes, std::move(bytes)}; }
const FileState kMissing{FileState::Missing, ""};
const FileState kFolder{FileState::Folder, ""};

void Place(const std::string& path, const FileState& state) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  RemoveDirectoryA(path.c_str());
  if (state.kind == FileState::Bytes) {
    ASSERT_TRUE(test::WriteFileBytes(path, state.bytes));
  }
  if (state.kind == FileState::Folder) {
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  }
}

std::string Big(char c) { return std::string(1 << 20, c); }
std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 37 + 11) % 256);
  return bytes;
}

// ---- WebSite.dat: the helper's lookup and the manager's list ---------------

// Puts the file's last write a minute back: the helper then reads it through
// the copy it keeps of a settled list.
void Settle(const std::string& path) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
  ticks.QuadPart -= 60ull * 10000000;
  const FILETIME before{ticks.LowPart, ticks.HighPart};
  win32::UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid() && SetFileTime(file.get(), nullptr, nullptr, &before));
}

TEST(BadInput, WhiteListReaders) {
  const char* const url = "http://www.example.com/page";
  const struct Row {
    const char* what;
    FileState file;
    std::int16_t lookup;  // 0: listed, the window may open
    std::vector<std::string> shown;
  } rows[] = {
      {"missing", kMissing, 1, {}},
      {"a folder in its place", kFolder, 1, {}},
      {"empty", Bytes(""), 1, {}},
      {"binary bytes", Bytes(Binary()), 1, {}},
      {"NUL bytes inside entries", Bytes(std::string("2\r\nfoo\0bar\r\nexample.com\r\n", 26)), 0,
       {std::string("foo\0bar", 7), "example.com"}},
      {"NUL byte in the count", Bytes(std::string("1\0\r\nexample.com\r\n", 17)), 1, {}},
      // No keyword is that long: the helper stops at the line, the manager shows it.
      {"a 1 MB entry before the match", Bytes("2\r\n" + Big('a') + "\r\nexample.com\r\n"), 1, {Big('a'), "example.com"}},
      {"a 1 MB count line", Bytes(Big('7') + "\r\nexample.com\r\n"), 1, {}},
      {"count 99999", Bytes("99999\r\nexample.com\r\n"), 1, {}},
      {"count -5", Bytes("-5\r\nexample.com\r\n"), 1, {}},
      {"count 32767, fewer lines", Bytes("32767\r\nother.org\r\nexample.com\r\n"), 0, {"other.org", "example.com"}},
      {"LF line ends only", Bytes("2\nother.org\nexample.com\n"), 0, {"other.org", "example.com"}},
      {"CR line ends only", Bytes("2\rother.org\rexample.com\r"), 0, {"other.org", "example.com"}},
      {"no final line end", Bytes("1\r\nexample.com"), 0, {"example.com"}},
      {"blank lines as entries, which match nothing", Bytes("2\r\n  \r\n\r\n"), 1, {"  ", ""}},
  };
  test::ScratchFolder folder("bad-white-list");
  const std::string path = folder.File(file::WhiteList);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    helper::ForgetWhiteList();
    EXPECT_EQ(helper::IsBlockedUrl(folder.path(), url), row.lookup);
    EXPECT_EQ(manager::ReadWebSiteFile(path), row.shown);
    // Reading never changes the file; the helper creates a missing one empty.
    if (row.file.kind == FileState::Bytes) {
      EXPECT_EQ(test::ReadFileBytes(path), row.file.bytes);
      Settle(path);
      EXPECT_EQ(helper::IsBlockedUrl(folder.path(), url), row.lookup) << "settled";
      EXPECT_EQ(helper::IsBlockedUrl(folder.path(), url), row.lookup) << "kept";
    }
    if (row.file.kind == FileState::Missing) {
      EXPECT_EQ(test::ReadFileBytes(path), std::string());
    }
    if (row.file.kind == FileState::Folder) {
      EXPECT_TRUE(win32::FolderExists(path));
    }
  }
  helper::ForgetWhiteList();
  RemoveDirectoryA(path.c_str());
}

// ---- Keep lists: the manager's and the cleaner's reading of the line ------

TEST(BadInput, KeepListReaders) {
  const struct Row {
    const char* what;
    FileState file;
    std::string managerLine;
    std::optional<std::string> cleanerLine;  // nullopt: the cleaner deletes nothing
  } rows[] = {
      {"missing", kMissing, "", std::nullopt},
      {"a folder in its place", kFolder, "", std::nullopt},
      // Never saved (a save writes a line end): no list to clean by.
      {"empty", Bytes(""), "", std::nullopt},
      {"NUL bytes", Bytes(std::string("#a\0b##c#\r\n", 10)), std::string("#a\0b##c#", 8),
       std::string("#a\0b##c#", 8)},
      {"a 1 MB line", Bytes(Big('#') + "\r\nsecond"), Big('#'), Big('#')},
      {"LF line ends only", Bytes("#a#\n#b#\n"), "#a#", "#a#"},
      {"CR line ends only", Bytes("#a#\r#b#\r"), "#a#", "#a#"},
      {"no final line end", Bytes("#a##b#"), "#a##b#", "#a##b#"},
      {"binary bytes", Bytes(Binary()), Binary().substr(0, Binary().find_first_of("\r\n")),
       Binary().substr(0, Binary().find_first_of("\r\n"))},
  };
  test::ScratchFolder folder("bad-keep-list");
  const std::string path = folder.File(file::IeKeepList);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    EXPECT_EQ(cleaner::KeepLineOf(cleaner::ReadKeepFileAt(path)), row.cleanerLine);
    EXPECT_EQ(manager::ReadKeepLine(path), row.managerLine);
    if (row.file.kind == FileState::Missing) {  // only a save writes a list
      EXPECT_FALSE(win32::FileExists(path));
    }
  }
  RemoveDirectoryA(path.c_str());
}

// ---- Netscape's "Cookies.txt": the manager's listing -----------------------

TEST(BadInput, NetscapeCookieFileListing) {
  std::string many;
  for (int i = 0; i < 1500; ++i) many += "site" + std::to_string(i) + ".com\tTRUE\t/\tFALSE\t0\tn\tv\r\n";
  const struct Row {
    const char* what;
    FileState file;
    std::size_t entries;
  } rows[] = {
      {"missing", kMissing, 0},
      {"a folder in its place", kFolder, 0},
      {"empty", Bytes(""), 0},
      {"binary bytes", Bytes(Binary()), 1},  // its one tab makes a cookie line
      {"NUL bytes", Bytes(std::string("a\0.com\tx\r\n\0\tx\r\n", 14)), 2},
      {"a 1 MB line", Bytes(Big('d') + "\tx\r\nb.com\tx\r\n"), 2},
      {"1500 cookie lines: the first 1000 are read", Bytes(many), 1000},
      {"LF, CR and no final line end", Bytes("a.com\tx\nb.com\tx\rc.com\tx"), 3},
      {"comments and lines without a tab", Bytes("# a.com\tx\r\nb.com x\r\n\r\n"), 0},
  };
  test::ScratchFolder folder("bad-netscape");
  const std::string path = folder.path() + cookies::kNetscapeCookieFile;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    EXPECT_EQ(manager::ReadNetscapeEntries(path).size(), row.entries);
    if (row.file.kind == FileState::Missing) {  // never created
      EXPECT_FALSE(win32::FileExists(path));
    }
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace
}  // namespace vendrolix
