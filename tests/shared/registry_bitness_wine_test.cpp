// 32-bit and 64-bit programs of the suite must see the same settings.
#include <windows.h>

#include <gtest/gtest.h>


#include "text.h"
#include "win32/CRegistry.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

TEST(RegistryBitness, ValuesCrossBetweenBitnesses) {
  ASSERT_FALSE(test::Arg("peer-probe").empty()) << "--peer-probe=PATH missing";
  VENDROLIX_SKIP_WITHOUT_32BIT("the 32-bit side cannot run");
  test::SettingsKey key;
  const CRegistry registry = CRegistry::ForTray();
  registry.SetRegStringValue("Popup", "3");

  const std::string probe = test::Quote(test::WinePath(test::Arg("peer-probe")));
  test::ProcessResult read = test::RunProcess(probe + " get Popup");
  ASSERT_TRUE(read.finished) << read.output;
  EXPECT_EQ(Trim(read.output.substr(0, read.output.find_first_of("\r\n"))), "3");

  test::ProcessResult write = test::RunProcess(probe + " set Sound 2");
  ASSERT_TRUE(write.finished);
  EXPECT_EQ(registry.GetRegStringValue("Sound"), "2");
}

}  // namespace
}  // namespace vendrolix
