// regsvr32 registers and unregisters the browser helper in the registry view
// of its own bitness, type library included. (Its version resource is the
// installer tests' to read, with every shipped file's.)
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <optional>
#include <string>

#include "VendrolixIEDLL.h"
#include "win32/com_server.h"
#include "win32/handles.h"
#include "wine_support.h"


namespace vendrolix {
namespace {

const std::string kClsidKey = "CLSID\\{A94EDD52-85B3-472F-8BC0-D651D760FBF8}";

// HKEY_CLASSES_ROOT in the view the DLL of this bitness writes.
std::optional<std::string> ClassesText(const std::string& subKey, const char* name) {
  return test::GetText(HKEY_CLASSES_ROOT, subKey, name ? name : "", win32::kModuleView);
}
bool ClassesKeyExists(const std::string& subKey) { return test::KeyExists(HKEY_CLASSES_ROOT, subKey, win32::kModuleView); }

test::ProcessResult RegSvr(const std::string& flags) {
  return test::RunProcess("regsvr32 " + flags + " " + test::Quote(test::WinePath(test::Arg("dll"))));
}

TEST(Registration, RegistersClassProgIdAndTypeLibraryAndRemovesThem) {
  ASSERT_FALSE(test::Arg("dll").empty());
  const auto reg = RegSvr("/s");
  ASSERT_TRUE(reg.finished && reg.exitCode == 0) << reg.output;

  EXPECT_EQ(ClassesText(kClsidKey + "\\InprocServer32", nullptr), test::WinePath(test::Arg("dll")));
  EXPECT_EQ(ClassesText(kClsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ClassesText(kClsidKey + "\\ProgID", nullptr), "VendrolixIEDLL.CVendrolixIEDLL");
  EXPECT_EQ(ClassesText(kClsidKey + "\\TypeLib", nullptr), "{37D27E0A-E4BA-478F-A4DA-275FFE975E29}");
  EXPECT_EQ(ClassesText("VendrolixIEDLL.CVendrolixIEDLL\\Clsid", nullptr), "{A94EDD52-85B3-472F-8BC0-D651D760FBF8}");

  {
    win32::ScopedCoInit com;
    CLSID fromProgId{};
    EXPECT_EQ(CLSIDFromProgID(L"VendrolixIEDLL.CVendrolixIEDLL", &fromProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, CLSID_CVendrolixIEDLL));

    Microsoft::WRL::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_VendrolixIEDLL, 5, 0, LOCALE_NEUTRAL, &library), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"VendrolixIEDLL");
    SysFreeString(name);

    Microsoft::WRL::ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__CVendrolixIEDLL, &info), S_OK);
    // The dual interface's dispatch side is what script callers see.
    HREFTYPE dispatchRef = 0;
    Microsoft::WRL::ComPtr<ITypeInfo> dispatch;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &dispatchRef))) {
      info->GetRefTypeInfo(dispatchRef, &dispatch);
    }
    if (!dispatch) dispatch = info;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->typekind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0);
    dispatch->ReleaseTypeAttr(attr);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"m_ie_OnQuit")};
    MEMBERID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(names, 1, &id), S_OK);

    Microsoft::WRL::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_CVendrolixIEDLL, &coclass), S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"CVendrolixIEDLL");
    SysFreeString(name);

    // The object answers the browser's interface; a null site before any
    // attach is harmless, there is no site to give, and the class's own quit
    // method does nothing yet.
    Microsoft::WRL::ComPtr<IObjectWithSite> object;
    ASSERT_EQ(CoCreateInstance(CLSID_CVendrolixIEDLL, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
    EXPECT_EQ(object->SetSite(nullptr), S_OK);
    Microsoft::WRL::ComPtr<IUnknown> site;
    EXPECT_EQ(object->GetSite(IID_PPV_ARGS(&site)), E_FAIL);
    EXPECT_EQ(site, nullptr);
    Microsoft::WRL::ComPtr<_CVendrolixIEDLL> own;
    ASSERT_EQ(object.As(&own), S_OK);
    EXPECT_EQ(own->m_ie_OnQuit(), S_OK);
  }

  const auto unreg = RegSvr("/s /u");
  ASSERT_TRUE(unreg.finished && unreg.exitCode == 0) << unreg.output;
  EXPECT_FALSE(ClassesKeyExists(kClsidKey));
  EXPECT_FALSE(ClassesKeyExists("VendrolixIEDLL.CVendrolixIEDLL"));
  {
    win32::ScopedCoInit com;
    Microsoft::WRL::ComPtr<ITypeLib> library;
    EXPECT_NE(LoadRegTypeLib(LIBID_VendrolixIEDLL, 5, 0, LOCALE_NEUTRAL, &library), S_OK);
  }
}

// A registration that cannot finish says so and leaves no class behind that
// points at the DLL: here the last key it writes, the ProgID's class id, is
// another program's and read-only.
TEST(Registration, FailureOnTheLastKeyLeavesNoClass) {
  ASSERT_FALSE(test::Arg("dll").empty());
  const std::string progId = "VendrolixIEDLL.CVendrolixIEDLL";
  test::CreateKey(HKEY_CLASSES_ROOT, progId + "\\CLSID", win32::kModuleView);
  {
    test::ReadOnlyKey blocked(HKEY_CLASSES_ROOT, progId + "\\CLSID", win32::kModuleView);
    ASSERT_TRUE(blocked.applied());
    const auto reg = RegSvr("/s");
    ASSERT_TRUE(reg.finished) << reg.output;
    EXPECT_NE(reg.exitCode, 0u);
    EXPECT_FALSE(ClassesKeyExists(kClsidKey));
  }
  test::DeleteKeyTree(HKEY_CLASSES_ROOT, progId, win32::kModuleView);
}

}  // namespace
}  // namespace vendrolix
