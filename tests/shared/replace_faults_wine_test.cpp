// The atomic replacement on a real file system, for each data file the suite
// rewrites (the white list, the keep lists, the cleaned "Cookies.txt"): when
// the target cannot be replaced, the call says so, the target is exactly as it
// was and no temporary file is left behind; a reader that lets go of the
// target while the save still tries again does not make it fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "atomic_write.h"
#include "fault_files.h"
#include "win32/file_io.h"
#include "win32/handles.h"
#include "wine_support.h"

namespace vendrolix::win32 {
namespace {

// What the replacement must do. Where Windows and Wine differ (Wine renames
// over a read-only file, Windows refuses), either outcome is right as long as
// it is whole and reported truly.
enum class Expect { Fails, Either, Replaces };

struct Obstacle {
  const char* what;
  Expect expect;
  // Sets the obstacle up for the target path; returns what undoes it.
  std::function<std::function<void()>(const std::string& path)> arrange;
};

const Obstacle kObstacles[] = {
    {"target open without sharing (another program holds it)", Expect::Fails,
     [](const std::string& path) -> std::function<void()> {
       auto holder = std::make_shared<UniqueFile>(
           CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
       EXPECT_TRUE(holder->valid());
       return [holder] { holder->reset(); };
     }},
    {"target open by a reader that shares read, write and delete", Expect::Either,
     [](const std::string& path) -> std::function<void()> {
       auto reader = std::make_shared<TextFileReader>(path, TextFileReader::OpenMode::Plain);
       EXPECT_TRUE(reader->is_open());
       return [reader]() mutable { reader.reset(); };
     }},
    {"read-only target", Expect::Either,
     [](const std::string& path) -> std::function<void()> {
       SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
       return [path] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); };
     }},
    {"target read without sharing delete for 150 ms of the save", Expect::Replaces,
     [](const std::string& path) -> std::function<void()> {
       auto reader = std::make_shared<UniqueFile>(
           CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr));
       EXPECT_TRUE(reader->valid());
       auto letGo = std::make_shared<std::thread>([reader] {
         Sleep(150);
         reader->reset();
       });
       return [letGo] { letGo->join(); };
     }},
    {"temporary file's name held open by another program", Expect::Fails,
     [](const std::string& path) -> std::function<void()> {
       const std::string temporary = TemporaryPathFor(path);
       EXPECT_TRUE(test::WriteFileBytes(temporary, "left over"));
       auto holder = std::make_shared<UniqueFile>(CreateFileA(temporary.c_str(), GENERIC_READ, 0, nullptr,
                                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
       EXPECT_TRUE(holder->valid());
       return [holder, temporary] {
         holder->reset();
         DeleteFileA(temporary.c_str());
       };
     }},
};

TEST(ReplaceFaults, AnObstacleLeavesTheOldOrTheNewFileAndSaysWhich) {
  test::ScratchFolder folder("replace-faults");
  for (const test::ReplacedFile& file : test::ReplacedFiles()) {
    if (!file.old) {  // no target for an obstacle: the call makes it
      const std::string path = folder.File(file.name);
      EXPECT_TRUE(ReplaceFileContent(path, file.replacement)) << file.name;
      EXPECT_EQ(test::ReadFileBytes(path), file.replacement);
      EXPECT_FALSE(FileExists(TemporaryPathFor(path)));
      DeleteFileA(path.c_str());
      continue;
    }
    for (const Obstacle& obstacle : kObstacles) {
      SCOPED_TRACE(file.name + ": " + obstacle.what);
      const std::string path = folder.File(file.name);
      ASSERT_TRUE(test::WriteFileBytes(path, *file.old));
      const auto undo = obstacle.arrange(path);
      const bool replaced = ReplaceFileContent(path, file.replacement);
      undo();
      if (obstacle.expect != Expect::Either) {
        EXPECT_EQ(replaced, obstacle.expect == Expect::Replaces);
      }
      EXPECT_EQ(test::ReadFileBytes(path), replaced ? file.replacement : *file.old);
      EXPECT_FALSE(FileExists(TemporaryPathFor(path)));
      // Once the obstacle is gone the same call goes through.
      EXPECT_TRUE(ReplaceFileContent(path, file.replacement));
      EXPECT_EQ(test::ReadFileBytes(path), file.replacement);
      EXPECT_FALSE(FileExists(TemporaryPathFor(path)));
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  }
}

TEST(ReplaceFaults, MissingFolderOrAFolderInTheFilesPlace) {
  test::ScratchFolder folder("replace-folders");
  for (const test::ReplacedFile& file : test::ReplacedFiles()) {
    SCOPED_TRACE(file.name);
    // A folder that does not exist: nothing is created anywhere.
    const std::string lost = folder.File("gone") + "\\" + file.name;
    EXPECT_FALSE(ReplaceFileContent(lost, file.replacement));
    EXPECT_FALSE(FolderExists(folder.File("gone")));

    // A folder where the file should be stays a folder.
    const std::string path = folder.File(file.name);
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContent(path, file.replacement));
    EXPECT_TRUE(FolderExists(path));
    EXPECT_FALSE(FileExists(TemporaryPathFor(path)));
    RemoveDirectoryA(path.c_str());
  }
}

}  // namespace
}  // namespace vendrolix::win32
