// 32-bit and 64-bit programs of the suite must see the same settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "Vendrolix.h"
#include "text.h"
#include "wine_support.h"

namespace {
std::string g_peerProbe;
}

namespace vendrolix {
namespace {

TEST(RegistryBitness, ValuesCrossBetweenBitnesses) {
  ASSERT_FALSE(g_peerProbe.empty()) << "--peer-probe=PATH missing";
  VENDROLIX_SKIP_WITHOUT_32BIT("the 32-bit side cannot run");
  test::SettingsKey key;
  const CRegistry registry = CRegistry::ForTray();
  registry.SetRegStringValue("Popup", "3");

  const std::string probe = test::Quote(test::WinePath(g_peerProbe));
  test::ProcessResult read = test::RunProcess(probe + " get Popup");
  ASSERT_TRUE(read.finished) << read.output;
  EXPECT_EQ(Trim(read.output.substr(0, read.output.find_first_of("\r\n"))), "3");

  test::ProcessResult write = test::RunProcess(probe + " set Sound 2");
  ASSERT_TRUE(write.finished);
  EXPECT_EQ(registry.GetRegStringValue("Sound"), "2");
}

}  // namespace
}  // namespace vendrolix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--peer-probe=", 13) == 0) g_peerProbe = argv[i] + 13;
  }
  return RUN_ALL_TESTS();
}
