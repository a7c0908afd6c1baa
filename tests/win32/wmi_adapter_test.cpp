#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <fstream>
#include <sstream>

#include "platform/win32/win32_machine.h"
#include "platform/win32/win32_wmi.h"
#include "run/program.h"

namespace {

class ComApartment : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

using Win32WmiTest = ComApartment;

TEST_F(Win32WmiTest, QueriesTheOperatingSystemThroughEveryInterface) {
  Win32Wmi wmi;
  std::unique_ptr<WmiLocator> locator;
  ASSERT_EQ(wmi.CreateLocator(locator), S_OK);
  std::unique_ptr<WmiServices> services;
  ASSERT_EQ(locator->ConnectServer(u"root\\cimv2", services), Wmi::kNoError);
  std::unique_ptr<WmiEnumerator> results;
  ASSERT_EQ(services->ExecQuery(u"WQL", u"SELECT * FROM Win32_OperatingSystem",
                                Wmi::kFlagReturnImmediately | Wmi::kFlagForwardOnly, results),
            S_OK);
  std::unique_ptr<WmiObject> object;
  ASSERT_EQ(results->Next(10000, object), Wmi::kNoError);
  ASSERT_TRUE(object);
  std::optional<std::u16string> caption;
  EXPECT_EQ(object->Get(u"Caption", caption), S_OK);
  ASSERT_TRUE(caption.has_value());
  EXPECT_FALSE(caption->empty());
  std::optional<std::u16string> notText = u"unchanged";
  EXPECT_EQ(object->Get(u"OSType", notText), S_OK);
  EXPECT_EQ(notText, std::nullopt);  // a number is no text
  std::unique_ptr<WmiObject> none;
  EXPECT_NE(results->Next(10000, none), Wmi::kNoError);
  EXPECT_FALSE(none);
}

TEST_F(Win32WmiTest, NoSqlServerNamespaceUnderWine) {
  Win32Wmi wmi;
  std::unique_ptr<WmiLocator> locator;
  ASSERT_EQ(wmi.CreateLocator(locator), S_OK);
  for (int version = 11; version <= 16; ++version) {
    const std::string digits = std::to_string(version);
    std::unique_ptr<WmiServices> services;
    EXPECT_EQ(locator->ConnectServer(u"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement" +
                                         std::u16string(digits.begin(), digits.end()),
                                     services),
              Wmi::kInvalidNamespace);
    EXPECT_FALSE(services);
  }
}

TEST_F(Win32WmiTest, DetectionFindsNoSqlServerAndLogsOneLine) {
  char directory[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, directory);
  Win32Machine windows(GetModuleHandleW(nullptr));
  Program program(windows.machine());
  program.state.startDirectory = directory;
  EXPECT_FALSE(program.steps.sql.DetectSqlServer());
  EXPECT_EQ(program.steps.sql.instanceCount, 0);
  CloseLog(program.state);

  const std::string path = std::string(directory) + "Halvorn NembricAI  Setup v10.1.3.Log";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "User Interface:Checking whether SQL Server installed\r\n");
  in.close();
  DeleteFileA(path.c_str());
}

}  // namespace
