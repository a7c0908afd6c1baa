#include <gtest/gtest.h>

#include "fake_files.h"
#include "fake_iis.h"
#include "fake_registry.h"
#include "platform/planning/overlay_files.h"
#include "platform/planning/overlay_registry.h"
#include "platform/planning/planning_iis.h"

namespace {

// What the overlay lets a run that plans do is what Windows would let it, and the disk below never
// changes: each change is seen by the reads that follow and listed with whether it was there before.
TEST(OverlayFiles, ActsAsTheDiskWouldAndLeavesItAsItWas) {
  FakeFiles disk;
  disk.SetContent("C:\\App\\old.txt", "old");
  disk.modulePath = "C:\\Setup\\NembricSetup.exe";
  disk.SetContent(disk.modulePath, "MZ");
  const std::vector<std::string> files = disk.FilePaths();
  const std::vector<std::string> folders = disk.DirectoryPaths();
  OverlayFiles overlay(disk);

  EXPECT_EQ(overlay.MakeDirectory("C:\\Missing\\New"), 3U);  // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(overlay.MakeDirectory("C:\\App"), 183U);         // ERROR_ALREADY_EXISTS
  EXPECT_EQ(overlay.MakeDirectory("C:\\App\\New"), 0U);
  const FileHandle made = overlay.Create("C:\\App\\New\\a.txt", Files::kGenericWrite, 0, Files::kCreateAlways,
                                         Files::kAttributeNormal);
  ASSERT_NE(made, FileHandle::invalid);
  EXPECT_TRUE(overlay.Write(made, "new bytes"));
  EXPECT_TRUE(overlay.Close(made));
  EXPECT_EQ(overlay.StampOf("C:\\App\\New\\a.txt")->size, 9U);
  EXPECT_EQ(overlay.ContentOf("c:\\app\\new\\A.TXT"), "new bytes");
  EXPECT_EQ(overlay.Create("C:\\Nowhere\\b.txt", Files::kGenericWrite, 0, Files::kCreateAlways, 0),
            FileHandle::invalid);
  EXPECT_EQ(overlay.LastCreateError(), 3U);
  EXPECT_FALSE(overlay.RemoveFolder("C:\\App\\New"));  // not empty
  EXPECT_FALSE(overlay.Remove(disk.modulePath));       // the running program's image
  EXPECT_TRUE(overlay.Replace("C:\\App\\old.txt", "C:\\App\\moved.txt"));
  EXPECT_FALSE(overlay.FileAttributes("C:\\App\\old.txt"));
  // A move of a real file reads the original's bytes.
  const FileHandle moved =
      overlay.Create("C:\\App\\moved.txt", Files::kGenericRead, Files::kShareRead, Files::kOpenExisting, 0);
  char bytes[8] = {};
  EXPECT_EQ(overlay.Read(moved, bytes, sizeof bytes), 3U);
  EXPECT_EQ(std::string(bytes, 3), "old");
  overlay.Close(moved);
  std::vector<std::string> listed;
  for (const Files::DirectoryEntry& entry :
       overlay.ListDirectory("C:\\App\\*").value_or(std::vector<Files::DirectoryEntry>())) {
    listed.push_back(entry.name);
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"New", "moved.txt"}));
  // A folder it made reads as the administrators', with what the folder above lets others do.
  EXPECT_TRUE(overlay.SecurityOf("C:\\App\\New")->starts_with("O:BA"));

  std::vector<std::string> changes;
  for (const OverlayFiles::Change& change : overlay.Changes()) {
    changes.push_back(change.path + (change.before ? " was" : " new") + (change.after ? " stays" : " goes"));
  }
  EXPECT_EQ(changes, (std::vector<std::string>{"C:\\App\\New new stays", "C:\\App\\New\\a.txt new stays",
                                               "C:\\App\\old.txt was goes", "C:\\App\\moved.txt new stays"}));
  EXPECT_EQ(disk.FilePaths(), files);
  EXPECT_EQ(disk.DirectoryPaths(), folders);
}

TEST(OverlayRegistry, ActsAsTheRegistryWouldAndLeavesItAsItWas) {
  FakeRegistry registry;
  registry.SetString("HKLM\\SOFTWARE\\WOW6432Node\\Vendor", "Kept", "old");
  const std::vector<std::string> before = registry.Dump();
  OverlayRegistry overlay(registry);
  RegistryKey key = RegistryKey::none;
  // The 32-bit view reaches WOW6432Node, and what was there reads through.
  ASSERT_EQ(overlay.OpenKey(RegistryKey::localMachine, "SOFTWARE\\Vendor",
                            Registry::kRead | Registry::kView32, key),
            Registry::kSuccess);
  RegistryValue value;
  EXPECT_EQ(overlay.QueryValue(key, "Kept", value), Registry::kSuccess);
  EXPECT_EQ(overlay.SetValue(key, "Kept", {Registry::kTypeString, std::string("new\0", 4)}),
            Registry::kAccessDenied);
  overlay.CloseKey(key);
  ASSERT_EQ(overlay.CreateKey(RegistryKey::localMachine, "SOFTWARE\\Vendor\\Product",
                              Registry::kAllAccess | Registry::kView32, key),
            Registry::kSuccess);
  EXPECT_EQ(overlay.SetValue(key, "Version", {Registry::kTypeString, std::string("1\0", 2)}),
            Registry::kSuccess);
  EXPECT_EQ(overlay.QueryValue(key, "version", value), Registry::kSuccess);
  EXPECT_EQ(value.data, std::string("1\0", 2));
  overlay.CloseKey(key);
  // A key with a key below it stays.
  EXPECT_NE(overlay.DeleteKey(RegistryKey::localMachine, "SOFTWARE\\Vendor", Registry::kView32),
            Registry::kSuccess);
  EXPECT_EQ(overlay.DeleteKey(RegistryKey::localMachine, "SOFTWARE\\Vendor\\Product", Registry::kView32),
            Registry::kSuccess);
  EXPECT_EQ(overlay.OpenKey(RegistryKey::localMachine, "SOFTWARE\\WOW6432Node\\Vendor\\Product",
                            Registry::kRead, key),
            Registry::kFileNotFound);

  std::vector<std::string> changes;
  for (const OverlayRegistry::Change& change : overlay.Changes()) {
    changes.push_back(change.path + (change.name ? "|" + *change.name : "") +
                      (change.before ? " was" : " new") + (change.after ? " stays" : " goes"));
  }
  EXPECT_EQ(changes, (std::vector<std::string>{"SOFTWARE\\WOW6432Node\\Vendor\\Product new goes",
                                               "SOFTWARE\\WOW6432Node\\Vendor\\Product|Version new goes"}));
  EXPECT_EQ(registry.Dump(), before);
}

}  // namespace

// A property set on an element that was there is a change whether it is reached by name or through the
// element's property collection; one of an element the run adds is part of the adding; none is committed.
TEST(PlanningIis, NotesEveryPropertySetAndCommitsNone) {
  FakeIis real;
  constexpr char16_t kPools[] = u"system.applicationHost/applicationPools";
  real.AddItem(kPools, "add", {{u"name", u"HNembricAI"}, {u"managedRuntimeVersion", u"v2.0"}});
  const std::string before = real.Dump();
  PlanningIis iis(real);
  {
    std::unique_ptr<IisAdminManager> manager;
    ASSERT_GE(iis.CreateAdminManager(manager), 0);
    std::unique_ptr<IisElement> section;
    ASSERT_GE(manager->AdminSection(kPools, FakeIis::kApphost, section), 0);
    std::unique_ptr<IisElementCollection> pools;
    ASSERT_GE(section->Collection(pools), 0);
    std::unique_ptr<IisElement> pool;
    ASSERT_GE(pools->Item(0, pool), 0);
    std::unique_ptr<IisProperty> byName;
    ASSERT_GE(pool->PropertyByName(u"managedRuntimeVersion", byName), 0);
    EXPECT_GE(byName->PutValue(IisValue{std::u16string(u"")}), 0);
    std::unique_ptr<IisPropertyCollection> properties;
    ASSERT_GE(pool->Properties(properties), 0);
    std::unique_ptr<IisProperty> throughCollection;
    ASSERT_GE(properties->Item(u"enable32BitAppOnWin64", throughCollection), 0);
    EXPECT_GE(throughCollection->PutValue(IisValue{true}), 0);
    std::unique_ptr<IisElement> added;
    ASSERT_GE(pools->CreateNewElement(u"add", added), 0);
    std::unique_ptr<IisPropertyCollection> addedProperties;
    ASSERT_GE(added->Properties(addedProperties), 0);
    std::unique_ptr<IisProperty> addedName;
    ASSERT_GE(addedProperties->Item(u"name", addedName), 0);
    EXPECT_GE(addedName->PutValue(IisValue{std::u16string(u"Other")}), 0);
    EXPECT_GE(pools->AddElement(*added, -1), 0);
    EXPECT_GE(manager->CommitChanges(), 0);
  }
  // With the last of its objects released, what the admin manager held uncommitted is gone.
  EXPECT_EQ(real.Dump(), before);
  std::vector<std::u16string> noted;
  for (const PlanningIis::Change& change : iis.changes) {
    noted.push_back(change.tag + u" " + change.name + u" " + change.property);
  }
  EXPECT_EQ(noted, (std::vector<std::u16string>{u"add HNembricAI managedRuntimeVersion",
                                                u"add HNembricAI enable32BitAppOnWin64", u"add Other "}));
}
