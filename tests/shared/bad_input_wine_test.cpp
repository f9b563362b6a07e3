// Bad input for every reader of a data file, on the real file system: each
// row is what lies at the file's path and what each program makes of it.
// Nothing may crash, hang or make up entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cookie_logic.h"
#include "decision.h"
#include "manager_logic.h"
#include "win32/file_io.h"
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
      {"a 1 MB entry before the match", Bytes("2\r\n" + Big('a') + "\r\nexample.com\r\n"), 0, {Big('a'), "example.com"}},
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
  const std::string path = folder.File("WebSite.dat");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    {
      win32::TextFileReader reader(path);
      EXPECT_EQ(helper::WhiteListLookup([&](std::string& line) { return reader.Next(line); }, url), row.lookup);
    }
    {
      win32::TextFileReader reader(path);
      EXPECT_EQ(manager::ParseWebSiteList([&](std::string& line) { return reader.Next(line); }), row.shown);
    }
    // Reading never changes the file; a missing one is created empty.
    if (row.file.kind == FileState::Bytes) {
      EXPECT_EQ(test::ReadFileBytes(path), row.file.bytes);
    }
    if (row.file.kind == FileState::Missing) {
      EXPECT_EQ(test::ReadFileBytes(path), std::string());
    }
    if (row.file.kind == FileState::Folder) {
      EXPECT_TRUE(win32::FolderExists(path));
    }
  }
  RemoveDirectoryA(path.c_str());
}

// ---- Keep lists: the manager's and the cleaner's reading of the line ------

// The cleaner's reading: the first line of the whole file, or nothing.
std::optional<std::string> CleanerKeepLine(const std::string& path) {
  std::string content;
  if (!win32::ReadWholeFile(path, content)) return std::nullopt;
  return content.substr(0, content.find_first_of("\r\n"));
}

// The manager's reading: the first line, a missing list created empty.
std::string ManagerKeepLine(const std::string& path) {
  std::string line;
  win32::TextFileReader reader(path);
  if (!reader.Next(line)) line.clear();
  return line;
}

TEST(BadInput, KeepListReaders) {
  const struct Row {
    const char* what;
    FileState file;
    std::string managerLine;
    std::optional<std::string> cleanerLine;  // nullopt: the cleaner deletes nothing
  } rows[] = {
      {"missing", kMissing, "", std::nullopt},
      {"a folder in its place", kFolder, "", std::nullopt},
      {"empty", Bytes(""), "", ""},
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
  const std::string path = folder.File("IECookieURL.dat");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    // The cleaner reads first: the manager creates a missing list.
    EXPECT_EQ(CleanerKeepLine(path), row.cleanerLine);
    EXPECT_EQ(ManagerKeepLine(path), row.managerLine);
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
  const std::string path = folder.File("Cookies.txt");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Place(path, row.file);
    win32::TextFileReader reader(path, win32::TextFileReader::OpenMode::Plain);
    EXPECT_EQ(manager::NetscapeEntries([&](std::string& line) { return reader.Next(line); }).size(), row.entries);
    if (row.file.kind == FileState::Missing) {  // never created
      EXPECT_FALSE(win32::FileExists(path));
    }
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace
}  // namespace vendrolix
