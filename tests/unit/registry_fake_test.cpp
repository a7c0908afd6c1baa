#include <gtest/gtest.h>

#include "fake_registry.h"

namespace {

// The host tests lean on the fake registry's views behaving as 64-bit Windows does.
TEST(FakeRegistry, ThirtyTwoBitViewIsRedirectedBelowSoftware) {
  FakeRegistry registry;
  RegistryKey key = RegistryKey::none;
  ASSERT_EQ(registry.CreateKey(RegistryKey::localMachine, "SOFTWARE\\Halvorn\\Test",
                               Registry::kWrite | Registry::kView32, key),
            Registry::kSuccess);
  ASSERT_EQ(registry.SetValue(key, "Name", {Registry::kTypeString, std::string("v\0", 2)}),
            Registry::kSuccess);
  registry.CloseKey(key);

  EXPECT_TRUE(registry.HasKey("HKLM\\SOFTWARE\\WOW6432Node\\Halvorn\\Test"));
  EXPECT_FALSE(registry.HasKey("HKLM\\SOFTWARE\\Halvorn\\Test"));
  EXPECT_EQ(registry.OpenKey(RegistryKey::localMachine, "SOFTWARE\\Halvorn\\Test", Registry::kRead, key),
            Registry::kFileNotFound);
  ASSERT_EQ(registry.OpenKey(RegistryKey::localMachine, "software\\wow6432node\\halvorn\\test",
                             Registry::kRead, key),
            Registry::kSuccess);
  RegistryValue value;
  EXPECT_EQ(registry.QueryValue(key, "NAME", value), Registry::kSuccess);
  EXPECT_EQ(value.data, std::string("v\0", 2));
  EXPECT_EQ(registry.SetValue(key, "Other", value), Registry::kAccessDenied);  // opened for reading only
  registry.CloseKey(key);
  EXPECT_EQ(registry.OpenKeys(), 0U);
}

TEST(FakeRegistry, DeniedPathsRefuseOpenAndCreate) {
  FakeRegistry registry;
  registry.AddKey("HKLM\\SOFTWARE\\Locked");
  registry.deniedPaths.insert("HKLM\\SOFTWARE\\Locked");
  RegistryKey key = RegistryKey::none;
  EXPECT_EQ(registry.OpenKey(RegistryKey::localMachine, "SOFTWARE\\Locked", Registry::kRead, key),
            Registry::kAccessDenied);
  EXPECT_EQ(registry.CreateKey(RegistryKey::localMachine, "SOFTWARE\\Locked\\Below", Registry::kWrite, key),
            Registry::kAccessDenied);
}

}  // namespace
