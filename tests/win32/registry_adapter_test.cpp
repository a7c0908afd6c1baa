#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_registry.h"

namespace {

constexpr char kTestKey[] = "SOFTWARE\\Halvorn\\NembricAdapterTest";

class Win32RegistryTest : public testing::Test {
 protected:
  void TearDown() override {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_32KEY, 0);
  }
  Win32Registry registry;
};

TEST_F(Win32RegistryTest, RoundTripsValuesInBothViews) {
  const std::pair<std::uint32_t, const char*> views[] = {{Registry::kView64, "64-bit value"},
                                                         {Registry::kView32, "32-bit value"}};
  for (const auto& [view, text] : views) {
    RegistryKey key = RegistryKey::none;
    ASSERT_EQ(registry.CreateKey(RegistryKey::localMachine, kTestKey, Registry::kAllAccess | view, key),
              Registry::kSuccess);
    const std::string data = std::string(text) + '\0';
    EXPECT_EQ(registry.SetValue(key, "Text", {Registry::kTypeString, data}), Registry::kSuccess);
    EXPECT_EQ(registry.SetValue(key, "Number", {Registry::kTypeDword, std::string("\x0e\x00\x00\x00", 4)}),
              Registry::kSuccess);
    EXPECT_EQ(registry.CloseKey(key), Registry::kSuccess);
  }
  for (const auto& [view, text] : views) {
    RegistryKey key = RegistryKey::none;
    ASSERT_EQ(registry.OpenKey(RegistryKey::localMachine, kTestKey, Registry::kRead | view, key),
              Registry::kSuccess);
    RegistryValue value;
    ASSERT_EQ(registry.QueryValue(key, "Text", value), Registry::kSuccess);
    EXPECT_EQ(value.type, Registry::kTypeString);
    EXPECT_EQ(value.data, std::string(text) + '\0');
    ASSERT_EQ(registry.QueryValue(key, "Number", value), Registry::kSuccess);
    EXPECT_EQ(value.type, Registry::kTypeDword);
    EXPECT_EQ(value.data, std::string("\x0e\x00\x00\x00", 4));
    EXPECT_EQ(registry.QueryValue(key, "Missing", value), Registry::kFileNotFound);
    EXPECT_EQ(registry.CloseKey(key), Registry::kSuccess);
  }
  // The 32-bit view is WOW6432Node as the 64-bit view sees it.
  RegistryKey key = RegistryKey::none;
  ASSERT_EQ(registry.OpenKey(RegistryKey::localMachine, "SOFTWARE\\WOW6432Node\\Halvorn\\NembricAdapterTest",
                             Registry::kRead, key),
            Registry::kSuccess);
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue(key, "Text", value), Registry::kSuccess);
  EXPECT_EQ(value.data, std::string("32-bit value") + '\0');
  registry.CloseKey(key);
}

// Key names, value names and texts outside any ANSI code page are stored as the wide calls store them and
// read back as UTF-8; a text that is no UTF-8 is refused before any call.
TEST_F(Win32RegistryTest, KeepsTextsOutsideTheCodePage) {
  const std::string name = "\xC5\x81\xC3\xB3\x64\xC5\xBA \xE6\x97\xA5\xE6\x9C\xAC";  // Łódź 日本
  const std::string below = std::string(kTestKey) + "\\" + name;
  RegistryKey key = RegistryKey::none;
  ASSERT_EQ(registry.CreateKey(RegistryKey::localMachine, below, Registry::kAllAccess, key),
            Registry::kSuccess);
  EXPECT_EQ(registry.SetValue(key, name, {Registry::kTypeString, "C:\\" + name + '\0'}), Registry::kSuccess);
  EXPECT_EQ(registry.SetValue(key, "a\xE9", {Registry::kTypeString, std::string("x\0", 2)}),
            Registry::kNoUnicodeTranslation);
  EXPECT_EQ(registry.SetValue(key, "Latin-1", {Registry::kTypeString, std::string("\xE9\0", 2)}),
            Registry::kNoUnicodeTranslation);
  RegistryValue value;
  ASSERT_EQ(registry.QueryValue(key, name, value), Registry::kSuccess);
  EXPECT_EQ(value.data, "C:\\" + name + '\0');
  registry.CloseKey(key);
  HKEY wide = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                          L"SOFTWARE\\Halvorn\\NembricAdapterTest\\\u0141\u00F3d\u017A \u65E5\u672C", 0,
                          KEY_READ, &wide),
            ERROR_SUCCESS);
  wchar_t text[32] = {};
  DWORD size = sizeof(text);
  EXPECT_EQ(RegQueryValueExW(wide, L"\u0141\u00F3d\u017A \u65E5\u672C", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, L"C:\\\u0141\u00F3d\u017A \u65E5\u672C");
  RegCloseKey(wide);
  EXPECT_EQ(registry.DeleteKey(RegistryKey::localMachine, below, Registry::kView64), Registry::kSuccess);
}

TEST_F(Win32RegistryTest, DeletesValuesAndReportsMissingKeys) {
  RegistryKey key = RegistryKey::none;
  ASSERT_EQ(registry.CreateKey(RegistryKey::localMachine, kTestKey, Registry::kAllAccess, key),
            Registry::kSuccess);
  ASSERT_EQ(registry.SetValue(key, "DownloadStatus", {Registry::kTypeString, std::string("0;64\0", 5)}),
            Registry::kSuccess);
  EXPECT_EQ(registry.DeleteValue(key, "DownloadStatus"), Registry::kSuccess);
  EXPECT_EQ(registry.DeleteValue(key, "DownloadStatus"), Registry::kFileNotFound);
  registry.CloseKey(key);
  EXPECT_EQ(registry.OpenKey(RegistryKey::localMachine, "SOFTWARE\\Halvorn\\NoSuchKey", Registry::kRead, key),
            Registry::kFileNotFound);
}

TEST_F(Win32RegistryTest, DeletesAKeyOnlyWithoutSubkeysInItsView) {
  RegistryKey key = RegistryKey::none;
  const std::string below = std::string(kTestKey) + "\\Below";
  ASSERT_EQ(
      registry.CreateKey(RegistryKey::localMachine, below, Registry::kAllAccess | Registry::kView32, key),
      Registry::kSuccess);
  registry.CloseKey(key);
  EXPECT_NE(registry.DeleteKey(RegistryKey::localMachine, kTestKey, Registry::kView32), Registry::kSuccess);
  EXPECT_EQ(registry.DeleteKey(RegistryKey::localMachine, below, Registry::kView64), Registry::kFileNotFound);
  EXPECT_EQ(registry.DeleteKey(RegistryKey::localMachine, below, Registry::kView32), Registry::kSuccess);
  EXPECT_EQ(registry.DeleteKey(RegistryKey::localMachine, kTestKey, Registry::kView32), Registry::kSuccess);
  EXPECT_EQ(registry.OpenKey(RegistryKey::localMachine, kTestKey, Registry::kRead | Registry::kView32, key),
            Registry::kFileNotFound);
}

}  // namespace

namespace {

struct Growing {
  HKEY key = nullptr;
  volatile LONG stop = 0;
};

DWORD WINAPI GrowAndShrink(LPVOID parameter) {
  auto* growing = static_cast<Growing*>(parameter);
  const std::string shortText(2, 'a');
  const std::string longText(4096, 'b');
  for (int round = 0; InterlockedCompareExchange(&growing->stop, 0, 0) == 0; ++round) {
    const std::string& text = round % 2 == 0 ? longText : shortText;
    RegSetValueExA(growing->key, "Growing", 0, REG_BINARY, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size()));
  }
  return 0;
}

// A value another program rewrites longer between the size and the read is read again with its new size:
// the read never fails for want of room.
TEST_F(Win32RegistryTest, AValueThatGrowsWhileItIsReadIsReadWhole) {
  RegistryKey key = RegistryKey::none;
  ASSERT_EQ(
      registry.CreateKey(RegistryKey::localMachine, kTestKey, Registry::kAllAccess | Registry::kView64, key),
      Registry::kSuccess);
  Growing growing;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &growing.key),
            ERROR_SUCCESS);
  RegSetValueExA(growing.key, "Growing", 0, REG_BINARY, reinterpret_cast<const BYTE*>("aa"), 2);
  const HANDLE writer = CreateThread(nullptr, 0, GrowAndShrink, &growing, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  int failures = 0;
  for (int read = 0; read < 5000; ++read) {
    RegistryValue value;
    const std::int32_t status = registry.QueryValue(key, "Growing", value);
    failures += status != Registry::kSuccess || (value.data.size() != 2 && value.data.size() != 4096) ? 1 : 0;
  }
  InterlockedExchange(&growing.stop, 1);
  WaitForSingleObject(writer, INFINITE);
  CloseHandle(writer);
  RegCloseKey(growing.key);
  registry.CloseKey(key);
  EXPECT_EQ(failures, 0);
}

}  // namespace
