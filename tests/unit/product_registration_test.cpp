#include "steps/toolkit/product_registration.h"

#include <gtest/gtest.h>

#include "product/setup_state.h"
#include "setup_world.h"

namespace {

constexpr char kClientEntry[] =
    "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricClient";
constexpr char kServerEntry[] =
    "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricServer";
constexpr char kClientKey[] = "HKCU\\Software\\Halvorn\\Nembric10\\Client";
constexpr char kServerKey[] = "HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server";
constexpr char kProgram[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";

std::string Text(FakeRegistry& registry, const std::string& key, const std::string& name) {
  const std::optional<RegistryValue> value = registry.Value(key, name);
  if (!value) {
    return "<missing>";
  }
  EXPECT_EQ(value->type, Registry::kTypeString) << name;
  EXPECT_TRUE(value->data.ends_with('\0')) << name;  // stored with its NUL
  return value->data.substr(0, value->data.size() - 1);
}

struct RegistrationWorld : SetupWorld {
  RegistrationWorld() {
    state.choices.clientDirectory = "C:\\Apps\\Client\\";
    state.choices.serverDirectory = "D:\\Srv\\";
  }
};

TEST(RegisterProduct, WritesTheClientEntryAndBothProductKeys) {
  struct Case {
    BitSize bitSize;
    const char* displayName;
    const char* version;
  };
  for (const Case& c :
       {Case{BitSize::x64, "Nembric10App", "10.1"}, Case{BitSize::x32, "Nembric10App", "10.1"},
        Case{BitSize::aiClient, "NembricAI", "AI"}}) {
    RegistrationWorld world;
    world.state.choices.setupType = SetupType::client;
    world.state.choices.bitSize = c.bitSize;
    EXPECT_TRUE(RegisterProduct(world.state, ProductComponent::client, world.state.choices));
    FakeRegistry& registry = world.fake.registry;
    EXPECT_EQ(Text(registry, kClientEntry, "DisplayName"), c.displayName);
    EXPECT_EQ(Text(registry, kClientEntry, "UninstallString"),
              std::string("\"") + kProgram + "\" /uninstall /type=client");
    EXPECT_EQ(Text(registry, kClientEntry, "ModifyPath"),
              std::string("\"") + kProgram + "\" /modify /type=client");
    EXPECT_EQ(Text(registry, kClientEntry, "RepairPath"),
              std::string("\"") + kProgram + "\" /repair /type=client");
    EXPECT_EQ(Text(registry, kClientEntry, "InstallLocation"), "C:\\Apps\\Client\\");
    EXPECT_EQ(Text(registry, kClientEntry, "DisplayVersion"), "10.1");
    EXPECT_EQ(Text(registry, kClientEntry, "Publisher"), "Halvorn Ltd.");
    EXPECT_EQ(Text(registry, kClientEntry, "DisplayIcon"), kProgram);
    EXPECT_EQ(Text(registry, kClientKey, "InstallPath"), "C:\\Apps\\Client\\");
    EXPECT_EQ(Text(registry, kClientKey, "Version"), c.version);
    EXPECT_EQ(Text(registry, kClientKey, "DisplayName"), "Nembric Client");
    // A client registration writes the server key as well, with whatever the server directory holds.
    EXPECT_EQ(Text(registry, kServerKey, "InstallPath"), "D:\\Srv\\");
    EXPECT_EQ(Text(registry, kServerKey, "Version"), "10.1");
    EXPECT_EQ(Text(registry, kServerKey, "DisplayName"), "Halvorn NembricAI Server");
    EXPECT_FALSE(registry.HasKey(kServerEntry));
    EXPECT_FALSE(
        registry.HasKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricClient"));
    EXPECT_EQ(registry.OpenKeys(), 0U);
  }
}

// For distribution tools: the quiet uninstall command, the KiB the install location holds (its
// subfolders too, rounded up) and the day.
TEST(RegisterProduct, AddsTheQuietUninstallTheSizeAndTheDate) {
  RegistrationWorld world;
  world.state.choices.setupType = SetupType::client;
  world.fake.files.SetContent("C:\\Apps\\Client\\app.exe", std::string(2048, 'x'));
  world.fake.files.SetContent("C:\\Apps\\Client\\Update\\app.cab", std::string(1025, 'x'));
  EXPECT_TRUE(RegisterProduct(world.state, ProductComponent::client, world.state.choices));
  EXPECT_EQ(Text(world.fake.registry, kClientEntry, "QuietUninstallString"),
            std::string("\"") + kProgram + "\" /uninstall /type=client /quiet");
  EXPECT_EQ(Text(world.fake.registry, kClientEntry, "InstallDate"), "20261208");
  const std::optional<RegistryValue> size = world.fake.registry.Value(kClientEntry, "EstimatedSize");
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->type, Registry::kTypeDword);
  EXPECT_EQ(size->data, std::string("\4\0\0\0", 4));  // 3073 bytes: 4 KiB
}

TEST(RegisterProduct, TheServerComponentHasItsOwnEntry) {
  RegistrationWorld world;
  world.state.choices.setupType = SetupType::both;
  world.state.choices.bitSize = BitSize::x64;
  EXPECT_TRUE(RegisterProduct(world.state, ProductComponent::client, world.state.choices));
  EXPECT_TRUE(RegisterProduct(world.state, ProductComponent::server, world.state.choices));
  FakeRegistry& registry = world.fake.registry;
  EXPECT_EQ(Text(registry, kServerEntry, "DisplayName"), "Halvorn NembricAI");
  EXPECT_EQ(Text(registry, kServerEntry, "UninstallString"),
            std::string("\"") + kProgram + "\" /uninstall /type=server");
  EXPECT_EQ(Text(registry, kServerEntry, "InstallLocation"), "D:\\Srv\\");
  EXPECT_EQ(Text(registry, kClientEntry, "DisplayName"), "Nembric10App");
}

TEST(RegisterProduct, AnEntryThatCannotBeWrittenShowsTheBoxAndStops) {
  RegistrationWorld world;
  world.state.choices.setupType = SetupType::client;
  world.state.choices.bitSize = BitSize::x64;
  world.fake.registry.deniedPaths.insert(
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  EXPECT_FALSE(RegisterProduct(world.state, ProductComponent::client, world.state.choices));
  ASSERT_EQ(world.fake.dialogs.messageBoxes.size(), 1U);
  EXPECT_EQ(world.fake.dialogs.messageBoxes[0].text, "Cannot write to registry. Need admin rights?");
  EXPECT_EQ(world.fake.dialogs.messageBoxes[0].caption, "Error");
  EXPECT_EQ(world.fake.dialogs.messageBoxes[0].flags, DialogView::kIconError);
  EXPECT_EQ(Text(world.fake.registry, kClientKey, "InstallPath"), "C:\\Apps\\Client\\");  // written first
  EXPECT_FALSE(world.fake.registry.HasKey(kServerKey));
}

TEST(WriteRegistryString, AChainStopsAtTheFirstKeyThatCannotBeWritten) {
  RegistrationWorld world;
  world.state.choices.setupType = SetupType::client;
  world.state.choices.bitSize = BitSize::x64;
  world.fake.registry.deniedPaths.insert("HKCU\\Software\\Halvorn");
  EXPECT_TRUE(RegisterProduct(world.state, ProductComponent::client, world.state.choices));
  EXPECT_FALSE(world.fake.registry.HasKey(kClientKey));
  EXPECT_EQ(Text(world.fake.registry, kClientEntry, "DisplayName"), "Nembric10App");
  EXPECT_FALSE(WriteRegistryString(world.state, RegistryKey::currentUser, "Software\\Halvorn\\X", "V", "d"));
  EXPECT_TRUE(WriteRegistryString(world.state, RegistryKey::currentUser, "Software\\Other", "V", "d"));
  EXPECT_EQ(Text(world.fake.registry, "HKCU\\Software\\Other", "V"), "d");
}

}  // namespace
