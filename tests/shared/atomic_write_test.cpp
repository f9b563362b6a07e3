#include "atomic_write.h"

#include <gtest/gtest.h>

#include <map>

namespace vendrolix {
namespace {

// An in-memory file system whose steps can be made to fail one at a time.
class FakeFiles final : public FileOps {
 public:
  enum class Step { None, Create, Write, Flush, Replace };

  std::map<std::string, std::string> files;
  Step failAt = Step::None;

  bool Create(const std::string& path) override {
    if (failAt == Step::Create) return false;
    open_ = path;
    files[path].clear();
    return true;
  }
  bool Write(const std::string& bytes) override {
    if (failAt == Step::Write) {
      files[open_] += bytes.substr(0, bytes.size() / 2);  // a partial write
      return false;
    }
    files[open_] += bytes;
    return true;
  }
  bool Flush() override { return failAt != Step::Flush; }
  void Close() override { open_.clear(); }
  bool Replace(const std::string& source, const std::string& target) override {
    if (failAt == Step::Replace) return false;
    files[target] = files[source];
    files.erase(source);
    return true;
  }
  void Remove(const std::string& path) override { files.erase(path); }

 private:
  std::string open_;
};

TEST(WriteFileAtomically, ReplacesTheContentWhole) {
  FakeFiles fs;
  fs.files["WebSite.dat"] = "1\r\nold\r\n";
  EXPECT_TRUE(WriteFileAtomically(fs, "WebSite.dat", "2\r\nalpha\r\nBeta\r\n"));
  EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"WebSite.dat", "2\r\nalpha\r\nBeta\r\n"}}));
}

TEST(WriteFileAtomically, CreatesAMissingFile) {
  FakeFiles fs;
  EXPECT_TRUE(WriteFileAtomically(fs, "IECookieURL.dat", "\r\n"));
  EXPECT_EQ(fs.files["IECookieURL.dat"], "\r\n");
}

class FailingStep : public ::testing::TestWithParam<FakeFiles::Step> {};

TEST_P(FailingStep, LeavesTheOldContentAndNoTemporaryFile) {
  FakeFiles fs;
  fs.files["WebSite.dat"] = "1\r\nold\r\n";
  fs.failAt = GetParam();
  EXPECT_FALSE(WriteFileAtomically(fs, "WebSite.dat", "2\r\nalpha\r\nBeta\r\n"));
  EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"WebSite.dat", "1\r\nold\r\n"}}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailingStep,
                         ::testing::Values(FakeFiles::Step::Create, FakeFiles::Step::Write, FakeFiles::Step::Flush,
                                           FakeFiles::Step::Replace));

}  // namespace
}  // namespace vendrolix
