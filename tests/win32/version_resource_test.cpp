#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "version_info.h"

namespace {

// The built NembricSetup.exe's version resource, read as Explorer and inventory tools read it.
class VersionResource : public testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path = Wide(NEMBRIC_SETUP_EXE);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0U) << "no version resource, error " << GetLastError();
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data_.data()));
  }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  std::string Text(const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + Wide(name);
    if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length) || length == 0) {
      return "<missing>";
    }
    std::wstring wide(static_cast<const wchar_t*>(value));
    return std::string(wide.begin(), wide.end());
  }

  std::vector<unsigned char> data_;
};

TEST_F(VersionResource, CarriesTheBuildsVersionInBothForms) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDU);
  const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, NEMBRIC_PROJECT_VERSION);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 0U);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  // The language and code page that the string table is found under.
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4U);
  EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
  EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);

  const struct {
    const char* name;
    const char* expected;
  } texts[] = {
      {"FileVersion", NEMBRIC_PROJECT_VERSION},
      {"ProductVersion", NEMBRIC_PROJECT_VERSION},
      {"CompanyName", "Halvorn Ltd."},
      {"ProductName", "Halvorn Nembric"},
      {"FileDescription", "Halvorn NembricAI Universal Setup"},
      {"OriginalFilename", "NembricSetup.exe"},
      {"LegalCopyright", NEMBRIC_LEGAL_COPYRIGHT},
  };
  for (const auto& text : texts) {
    EXPECT_EQ(Text(text.name), text.expected) << text.name;
  }
}

}  // namespace
