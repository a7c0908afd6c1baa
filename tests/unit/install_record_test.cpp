#include "journal/install_record.h"

#include <gtest/gtest.h>

#include <functional>

#include "run/run_driver.h"
#include "setup_world.h"
#include "steps/actions/installer_run.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/product_registration.h"
#include "steps/undo/product_removal.h"
#include "test_cabinets.h"

namespace {

using Kind = RecordEntry::Kind;

TEST(InstallRecord, KeepsEveryFieldThroughItsTextAndPassesOverDamagedLines) {
  const std::vector<RecordEntry> entries = {
      {RecordScope::client, Kind::file, {"C:\\App\\100%\\a b.txt", "12", "133444555666777888"}},
      {RecordScope::server, Kind::value, {"HKLM", "512", "SOFTWARE\\X", "tab\there\r\n", "-", "1:41420000"}},
      {RecordScope::shared, Kind::binding, {"Default Web Site", "*:8080:", "*:80:"}},
      {RecordScope::server, Kind::msi, {"C:\\Srv\\Update\\sqlncli.msi"}},
  };
  for (const RecordEntry& entry : entries) {
    const std::string line = FormatRecordLine(entry);
    ASSERT_TRUE(line.ends_with("\r\n"));
    EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2) << line;
    EXPECT_EQ(ParseRecordLine(line.substr(0, line.size() - 2)), entry) << line;
  }
  for (const char* damaged :
       {"", "client", "client\tfile\tC:\\a\t1", "nobody\tfolder\tC:\\a", "client\tbonfire\tC:\\a",
        "client\tfolder\tC:\\%zz", "client\tfolder\tC:\\%4"}) {
    EXPECT_FALSE(ParseRecordLine(damaged)) << damaged;
  }
  const std::optional<RegistryValue> dword = RecordedValue("4:01000000");
  ASSERT_TRUE(dword);
  EXPECT_EQ(dword->type, 4U);
  EXPECT_EQ(dword->data, std::string("\1\0\0\0", 4));
  EXPECT_FALSE(RecordedValue(RecordedValueText(std::nullopt)));
  EXPECT_FALSE(RecordedValue("x:00"));
}

// A run cut off while it writes a line leaves every line before it readable, and the cut line unread.
TEST(InstallRecord, ARunCutOffHalfWayLeavesTheLinesItFinished) {
  SetupWorld world;
  world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
  InstallRecord& record = world.state.record;
  EXPECT_TRUE(record.Add(Kind::folder, {"C:\\Program Files\\Unseen"}).ok());
  EXPECT_FALSE(world.fake.files.Content(kInstallRecordPath));  // nothing is recorded before a run starts
  record.recording = true;
  record.scope = RecordScope::client;
  EXPECT_TRUE(record.Add(Kind::folder, {"C:\\App"}).ok());
  EXPECT_TRUE(record.Add(Kind::folder, {"C:\\Program Files\\Halvorn\\Cut"}).ok());
  std::string text = *world.fake.files.Content(kInstallRecordPath);
  ASSERT_TRUE(text.starts_with("Nembric setup install record 2\r\nclient\tfolder\tC:\\App\r\n"));
  world.fake.files.SetContent(kInstallRecordPath, text.substr(0, text.size() - 6));
  const std::vector<RecordEntry> expected = {{RecordScope::client, Kind::folder, {"C:\\App"}}};
  EXPECT_EQ(record.Read(), expected);
  EXPECT_TRUE(record.Rewrite({}));
  EXPECT_FALSE(record.Read());
}

// A record of the former format, whose marks have no id, is read as it is and rewritten in the present
// format before the next run adds to it; the run's id is one above the highest. A record of a format the
// setup does not know is not read.
TEST(InstallRecord, AFormerRecordIsConvertedOnceAndAnUnknownOneIsNotRead) {
  SetupWorld world;
  world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
  world.fake.files.SetContent(kInstallRecordPath,
                              "Nembric setup install record 1\r\n"
                              "client\tfolder\tC:\\App\r\n"
                              "shared\trun\tinstall\tclient\r\n"
                              "client\tcommit\r\n"
                              "shared\tend\r\n");
  InstallRecord& record = world.state.record;
  const std::vector<RecordEntry> former = {{RecordScope::client, Kind::folder, {"C:\\App"}},
                                           {RecordScope::shared, Kind::run, {"0", "install", "client"}},
                                           {RecordScope::client, Kind::commit, {}},
                                           {RecordScope::shared, Kind::end, {}}};
  EXPECT_EQ(record.Read(), former);
  record.BeginRun(kRepairMode, true, false);
  EXPECT_EQ(world.fake.files.Content(kInstallRecordPath),
            "Nembric setup install record 2\r\n"
            "client\tfolder\tC:\\App\r\n"
            "shared\trun\t0\tinstall\tclient\r\n"
            "client\tcommit\r\n"
            "shared\tend\r\n"
            "shared\trun\t1\trepair\tclient\r\n");
  world.fake.files.SetContent(kInstallRecordPath,
                              "Nembric setup install record 3\r\nclient\tfolder\tC:\\App\r\n");
  EXPECT_FALSE(record.Read());
}

// The client and the server write the same key. The uninstall of the client leaves the server's value and
// the key it writes in; the server's uninstall then takes the key away. A file the person changed stays.
TEST(ProductRemoval, AComponentThatStaysKeepsWhatItUses) {
  SetupWorld world;
  FakeMachine& fake = world.fake;
  fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
  fake.files.AddDirectory("C:\\App");
  InstallRecord& record = world.state.record;
  record.recording = true;
  constexpr char kKey[] = "SOFTWARE\\Halvorn\\NembricAI\\Server";
  record.scope = RecordScope::client;
  EXPECT_TRUE(WriteRegistryString(world.state, RegistryKey::localMachine, kKey, "InstallPath", "").ok());
  // Written by two runs, then changed by the person: one line says it is kept.
  for (const char* content : {"as installed", "as installed again"}) {
    fake.files.SetContent("C:\\App\\client.ini", content);
    EXPECT_TRUE(record.AddFile("C:\\App\\client.ini").ok());
  }
  fake.files.SetContent("C:\\App\\client.ini", "changed by the person");
  record.scope = RecordScope::server;
  EXPECT_TRUE(
      WriteRegistryString(world.state, RegistryKey::localMachine, kKey, "InstallPath", "D:\\Srv\\").ok());
  fake.registry.AddKey(
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricServer");

  ProductRemoval(world.state).Remove(true, false);
  EXPECT_EQ(fake.registry.Value("HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server", "InstallPath")->data,
            std::string("D:\\Srv\\\0", 8));
  EXPECT_EQ(fake.files.Content("C:\\App\\client.ini"), "changed by the person");
  const std::string log = *fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log");
  const std::string kept = "Client Setup:Kept changed file C:\\App\\client.ini\r\n";
  EXPECT_NE(log.find(kept), std::string::npos) << log;
  EXPECT_EQ(log.find(kept), log.rfind(kept));

  ProductRemoval(world.state).Remove(false, true);
  EXPECT_FALSE(fake.registry.HasKey("HKLM\\SOFTWARE\\Halvorn"));
  EXPECT_TRUE(fake.registry.HasKey("HKLM\\SOFTWARE"));
  EXPECT_FALSE(world.state.record.Read());
}

// A Windows Installer product goes by the product code its package holds; without a readable one, by its
// package.
TEST(ProductRemoval, AWindowsInstallerProductGoesByItsProductCode) {
  constexpr char kPackage[] = "C:\\Srv\\Update\\sqlncli.msi";
  constexpr char kCode[] = "{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A01}";
  for (const char* code :
       {kCode, "6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A01", static_cast<const char*>(nullptr)}) {
    SetupWorld world;
    FakeMachine& fake = world.fake;
    fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    fake.files.SetContent(kPackage, "MSI");
    fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", {});
    if (code != nullptr) {
      fake.installerDatabase.packages[kPackage] = {{"ProductName", "Native Client"}, {"ProductCode", code}};
    }
    world.state.record.recording = true;
    world.state.record.scope = RecordScope::server;
    ASSERT_TRUE(RunServerInstaller(world.state, "C:\\Srv\\Update", "sqlncli.msi"));
    ProductRemoval(world.state).Remove(false, true);
    const std::string product = code == kCode ? kCode : kPackage;
    ASSERT_EQ(fake.processes.starts.size(), 2U);
    EXPECT_EQ(fake.processes.Arguments(1), (std::vector<std::string>{"/x", product, "/quiet", "/norestart"}));
    EXPECT_EQ(fake.installerDatabase.OpenHandles(), 0U);
  }
}

// A record is read from disk: a copy it names is touched only when it lies in the backup folder.
TEST(InstallRecord, OnlyACopyInTheBackupFolderIsTakenForABackup) {
  const struct {
    const char* path;
    bool copy;
  } cases[] = {
      {"C:\\Program Files\\Halvorn\\NembricAI\\Backup\\3-HNembricAI.dll", true},
      {"c:\\program files\\halvorn\\nembricai\\backup\\1-readme.txt", true},
      {"C:\\Program Files\\Halvorn\\NembricAI\\Backup\\..\\InstallRecord.txt", false},
      {"C:\\Program Files\\Halvorn\\NembricAI\\Backup\\", false},
      {"C:\\Program Files\\Halvorn\\NembricAI\\Backup\\sub\\1-x", false},
      {"C:\\Windows\\system32\\kernel32.dll", false},
      {"C:\\Program Files\\Halvorn\\NembricAI\\BackupX\\1-x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsBackupCopy(c.path, kBackupFolder), c.copy) << c.path;
  }
}

}  // namespace

// Each kind of change the setup makes, done by the step that makes it on a machine that may already hold
// something in its place, then taken back: the machine is as it was (the record and the log aside). The
// changes that overwrite or delete keep a copy, a value's old data, a binding's old information.
constexpr char kServerDirectory[] = "C:\\Srv\\";

TEST(ProductRemoval, EveryKindOfChangeIsTakenBackToTheMachineBeforeIt) {
  const auto machineState = [](FakeMachine& fake) {
    std::vector<std::string> state;
    for (const std::string& path : fake.files.FilePaths()) {
      if (!path.ends_with(".log") && !path.ends_with("installrecord.txt")) {
        state.push_back(path + "=" + fake.files.Content(path).value_or("?"));
      }
    }
    for (const std::string& folder : fake.files.DirectoryPaths()) {
      state.push_back("folder " + folder);
    }
    for (const std::string& line : fake.registry.Dump()) {
      state.push_back("registry " + line);
    }
    state.push_back(fake.iis.Dump());
    return state;
  };
  struct Change {
    const char* name;
    RecordScope scope;
    std::function<void(SetupWorld&)> before;  // what the machine holds before the run
    std::function<void(SetupWorld&)> change;
  };
  const auto serverFiles = [](SetupWorld& world) {
    world.fake.files.SetContent("C:\\Srv\\Update\\HNembricAI1.cab", ReadCabinet("plain.cab"));
  };
  const auto value = [](SetupWorld& world) {
    WriteRegistryString(world.state, RegistryKey::localMachine, "SOFTWARE\\Halvorn\\NembricAI\\Server",
                        "InstallPath", kServerDirectory);
  };
  const std::vector<Change> changes = {
      {"folders made", RecordScope::client, nullptr,
       [](SetupWorld& world) {
         CreateDirectoryChain(world.fake.machine, "C:\\App\\Update\\Deep", &world.state.record);
       }},
      {"files extracted", RecordScope::server, serverFiles,
       [](SetupWorld& world) {
         ExtractCabinet(world.state, "HNembricAI1.cab", "C:\\Srv\\Update\\", kServerDirectory);
       }},
      {"files replaced", RecordScope::server,
       [&serverFiles](SetupWorld& world) {
         serverFiles(world);
         world.fake.files.SetContent("C:\\Srv\\readme.txt", "the installed readme");
       },
       [](SetupWorld& world) {
         ExtractCabinet(world.state, "HNembricAI1.cab", "C:\\Srv\\Update\\", kServerDirectory);
       }},
      {"modules deleted", RecordScope::server,
       [](SetupWorld& world) {
         world.fake.files.SetContent("C:\\Srv\\HNembricAI.dll", "the installed module");
       },
       [](SetupWorld& world) { DeleteDllFiles(world.fake.machine, kServerDirectory, &world.state.record); }},
      {"keys made and a value set", RecordScope::client, nullptr, value},
      {"a value set over another", RecordScope::client,
       [](SetupWorld& world) {
         world.fake.registry.SetString("HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server", "InstallPath",
                                       "D:\\Old\\");
       },
       value},
      {"a website with its pool, restriction and a moved binding", RecordScope::server,
       [](SetupWorld& world) {
         world.fake.iis.AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
         world.state.choices.serverDirectory = kServerDirectory;
         world.state.choices.port = 80;
       },
       [](SetupWorld& world) { static_cast<void>(world.steps.server.InstallWebsite()); }},
      {"a website on a pool with settings of its own and a restriction, both there before",
       RecordScope::server,
       [](SetupWorld& world) {
         world.fake.iis.AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
         world.fake.iis.AddItem(u"system.webServer/security/isapiCgiRestriction", "add",
                                {{u"path", u"C:\\Srv\\HNembricAI.dll"}, {u"allowed", u"true"}});
         world.fake.iis
             .AddItem(
                 u"system.applicationHost/applicationPools", "add",
                 {{u"name", u"HNembricAI"}, {u"autoStart", u"false"}, {u"managedRuntimeVersion", u"v4.0"}})
             ->Child("processModel")
             ->Set(u"identityType", u"NetworkService");
         world.state.choices.serverDirectory = kServerDirectory;
         world.state.choices.port = 80;
       },
       [](SetupWorld& world) { static_cast<void>(world.steps.server.InstallWebsite()); }},
      {"a website in the place of a site of the same name, whole with its application and settings",
       RecordScope::server,
       [](SetupWorld& world) {
         const auto site =
             world.fake.iis.AddSite(u"HNembricAI", u"7", {{u"http", u"*:80:"}, {u"https", u"*:443:"}});
         site->Set(u"serverAutoStart", u"false");
         site->Child("limits")->Set(u"maxBandwidth", u"65536");
         auto application = std::make_shared<FakeIis::Node>(
             FakeIis::Node{"application", {{u"path", u"/"}, {u"applicationPool", u"OldPool"}}, {}, {}, {}});
         application->items.push_back(std::make_shared<FakeIis::Node>(
             FakeIis::Node{"virtualDirectory",
                           {{u"path", u"/"}, {u"physicalPath", u"D:\\Old\\Site, \"v9\""}},
                           {},
                           {},
                           {}}));
         site->items.push_back(application);
         world.state.choices.serverDirectory = kServerDirectory;
         world.state.choices.port = 80;
       },
       [](SetupWorld& world) { static_cast<void>(world.steps.server.InstallWebsite()); }},
      {"a Windows Installer product", RecordScope::server,
       [](SetupWorld& world) {
         world.fake.files.SetContent("C:\\Srv\\Update\\sqlncli.msi", "MSI");
         FakeMachine& fake = world.fake;
         fake.processes.AddProgram(
             "C:\\Windows\\system32\\msiexec.exe",
             {0,
              [&fake] {
                if (fake.processes.starts.back().commandLine.find(" /x ") == std::string::npos) {
                  fake.registry.SetString("HKLM\\SOFTWARE\\Native Client", "Version", "11");
                } else {
                  fake.registry.DeleteKey(RegistryKey::localMachine, "SOFTWARE\\Native Client", 0);
                }
              },
              false,
              {}});
       },
       [](SetupWorld& world) { RunServerInstaller(world.state, "C:\\Srv\\Update", "sqlncli.msi"); }},
      {"the information server's file over one there before", RecordScope::server,
       [](SetupWorld& world) {
         world.fake.files.SetContent("C:\\Program Files\\NembricIS\\nembricis.cfg", "DOC_ROOT=D:\\Old\r\n");
         world.state.choices.serverDirectory = kServerDirectory;
         world.state.choices.port = 1465;
       },
       [](SetupWorld& world) { static_cast<void>(world.steps.server.InstallWebsite()); }},
      {"a shortcut", RecordScope::client, nullptr,
       [](SetupWorld& world) {
         CreateShortcut(world.state, "C:\\App\\NembricAI.exe", "Halvorn NembricAI", "C:\\App\\");
       }},
  };
  for (const Change& c : changes) {
    SetupWorld world;
    world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    if (c.before) {
      c.before(world);
    }
    const std::vector<std::string> before = machineState(world.fake);
    world.state.record.BeginRun(kInstallMode, true, true);
    world.state.record.scope = c.scope;
    c.change(world);
    EXPECT_NE(machineState(world.fake), before) << c.name << ": nothing was changed";
    ProductRemoval(world.state).TakeBack(c.scope);
    EXPECT_EQ(machineState(world.fake), before) << c.name << "\n"
                                                << world.fake.files.Content(kInstallRecordPath).value_or("");
  }
}
