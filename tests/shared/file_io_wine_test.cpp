// The data-file mechanics on a real (Wine) file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "win32/file_io.h"
#include "wine_support.h"

namespace vendrolix::win32 {
namespace {

TEST(FileIo, ReaderOfAMissingFileCreatesItEmpty) {
  test::ScratchFolder folder("fileio-missing");
  const std::string path = folder.File("WebSite.dat");
  {
    TextFileReader reader(path);
    std::string line;
    EXPECT_TRUE(reader.is_open());
    EXPECT_FALSE(reader.Next(line));
  }
  EXPECT_EQ(test::ReadFileBytes(path), "");

  const std::string plain = folder.File("Other.dat");
  TextFileReader reader(plain, TextFileReader::OpenMode::Plain);
  EXPECT_FALSE(reader.is_open());
  EXPECT_FALSE(FileExists(plain));
}

TEST(FileIo, ReaderInAMissingFolderReadsNothing) {
  TextFileReader reader("C:\\no\\such\\folder\\WebSite.dat");
  std::string line;
  EXPECT_FALSE(reader.Next(line));
}

TEST(FileIo, ReaderGivesLinesWithoutTheirEnds) {
  test::ScratchFolder folder("fileio-lines");
  const std::string path = folder.File("list.dat");
  ASSERT_TRUE(test::WriteFileBytes(path, "2\r\nalpha\nBeta"));
  TextFileReader reader(path);
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"2", "alpha", "Beta"}));
}

TEST(FileIo, FailedReplaceKeepsTheOldContent) {
  test::ScratchFolder folder("fileio-fail");
  const std::string path = folder.File("WebSite.dat");
  ASSERT_TRUE(ReplaceFileContent(path, "1\r\nold\r\n"));
  // A folder in the temporary file's place makes the create step fail.
  ASSERT_TRUE(CreateDirectoryA(TemporaryPathFor(path).c_str(), nullptr));
  EXPECT_FALSE(ReplaceFileContent(path, "0\r\n"));
  EXPECT_EQ(test::ReadFileBytes(path), "1\r\nold\r\n");
  RemoveDirectoryA(TemporaryPathFor(path).c_str());
}

TEST(FileIo, ExistenceTests) {
  test::ScratchFolder folder("fileio-exist");
  EXPECT_TRUE(FolderExists(folder.path()));
  EXPECT_FALSE(FileExists(folder.path()));
  ASSERT_TRUE(test::WriteFileBytes(folder.File("a.txt"), "x"));
  EXPECT_TRUE(FileExists(folder.File("a.txt")));
  EXPECT_FALSE(FolderExists(folder.File("a.txt")));
}

TEST(FileIo, ModuleFolderHasNoTrailingBackslash) {
  const std::string folder = ModuleFolder(nullptr);
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(FolderExists(folder));
}

}  // namespace
}  // namespace vendrolix::win32
