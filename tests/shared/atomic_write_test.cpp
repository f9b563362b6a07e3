#include "atomic_write.h"

#include <gtest/gtest.h>

#include <map>

#include "fault_files.h"

namespace vendrolix {
namespace {

using test::FaultFiles;

TEST(WriteFileAtomically, ReplacesTheContentWhole) {
  FaultFiles fs;
  fs.files["WebSite.dat"] = "1\r\nold\r\n";
  EXPECT_TRUE(WriteFileAtomically(fs, "WebSite.dat", "2\r\nalpha\r\nBeta\r\n"));
  EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"WebSite.dat", "2\r\nalpha\r\nBeta\r\n"}}));
}

TEST(WriteFileAtomically, CreatesAMissingFile) {
  FaultFiles fs;
  EXPECT_TRUE(WriteFileAtomically(fs, "IECookieURL.dat", "\r\n"));
  EXPECT_EQ(fs.files["IECookieURL.dat"], "\r\n");
}

class FailingStep : public ::testing::TestWithParam<FaultFiles::Step> {};

TEST_P(FailingStep, LeavesTheOldContentAndNoTemporaryFile) {
  FaultFiles fs;
  fs.files["WebSite.dat"] = "1\r\nold\r\n";
  fs.failAt = GetParam();
  EXPECT_FALSE(WriteFileAtomically(fs, "WebSite.dat", "2\r\nalpha\r\nBeta\r\n"));
  EXPECT_EQ(fs.files, (std::map<std::string, std::string>{{"WebSite.dat", "1\r\nold\r\n"}}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailingStep, ::testing::ValuesIn(test::kFailingSteps));

}  // namespace
}  // namespace vendrolix
