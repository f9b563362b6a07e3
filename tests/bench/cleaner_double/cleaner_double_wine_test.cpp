// The bench's cleaner double registers with regsvr32 and records calls.
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>


#include "CookieCleaner.h"
#include "win32/handles.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

TEST(CleanerDouble, RecordsEachCallThroughCom) {
  ASSERT_FALSE(test::Arg("double").empty());
  test::ScratchFolder folder("cleaner-double");
  const std::string log = folder.File("calls.log");
  SetEnvironmentVariableA("VENDROLIX_CLEANER_LOG", log.c_str());

  const auto reg = test::RunProcess("regsvr32 /s " + test::Quote(test::WinePath(test::Arg("double"))));
  ASSERT_TRUE(reg.finished && reg.exitCode == 0) << reg.output;

  win32::ScopedCoInit com;
  Microsoft::WRL::ComPtr<ICookieCleaner> cleaner;
  ASSERT_EQ(CoCreateInstance(CLSID_CookieCleaner, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cleaner)), S_OK);
  BSTR code = SysAllocString(L"MORVATHELK");
  EXPECT_EQ(cleaner->CleanIECookies(&code), S_OK);
  EXPECT_EQ(cleaner->CleanNSCookies(&code), S_OK);
  SysFreeString(code);
  cleaner.Reset();

  EXPECT_EQ(test::ReadFileBytes(log), "CleanIECookies MORVATHELK\r\nCleanNSCookies MORVATHELK\r\n");
  test::RunProcess("regsvr32 /s /u " + test::Quote(test::WinePath(test::Arg("double"))));
}

}  // namespace
}  // namespace vendrolix
