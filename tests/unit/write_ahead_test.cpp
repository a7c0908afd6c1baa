#include <gtest/gtest.h>

#include <functional>

#include "journal/install_record.h"
#include "run/maintenance.h"
#include "setup_world.h"
#include "steps/actions/installer_run.h"
#include "steps/iis/iis_website.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/product_registration.h"
#include "steps/undo/product_removal.h"

namespace {

using Kind = RecordEntry::Kind;

constexpr char kSetupFolder[] = "C:\\Program Files\\Halvorn\\NembricAI";
constexpr char kBackupFolder[] = "C:\\Program Files\\Halvorn\\NembricAI\\Backup";
constexpr char kNotRecordedLine[] = "Could not write the install record, so this is not changed: ";

struct RecordWorld : SetupWorld {
  RecordWorld() {
    fake.files.AddDirectory(kSetupFolder);
    state.startDirectory = "C:\\";
    state.record.BeginRun(kInstallMode, true, true);
    state.record.scope = RecordScope::server;
  }
  std::string Record() const { return fake.files.Content(kInstallRecordPath).value_or(""); }
  std::string Log() const {
    return fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").value_or("");
  }
};

// A change is made only once its line, and the copy of what it replaces, are on disk: a line or a copy that
// cannot be written stops it, with a line that names what stays as it was.
TEST(WriteAhead, AChangeWhoseLineOrCopyCannotBeWrittenIsNotMade) {
  struct Case {
    const char* name;
    const char* refused;
    std::function<ActionResult(RecordWorld&)> change;
    std::string line;
    std::function<bool(RecordWorld&)> unchanged;
  };
  const std::vector<Case> cases = {
      {"a folder", kInstallRecordPath,
       [](RecordWorld& w) { return CreateDirectoryChain(w.fake.machine, "C:\\App\\Sub", &w.state.record); },
       std::string(kNotRecordedLine) + "C:\\App",
       [](RecordWorld& w) { return !w.fake.files.DirectoryExists("C:\\App"); }},
      {"a registry value", kInstallRecordPath,
       [](RecordWorld& w) {
         return WriteRegistryString(w.state, RegistryKey::localMachine, "SOFTWARE\\Halvorn\\X", "V", "d");
       },
       std::string(kNotRecordedLine) + "HKLM\\SOFTWARE\\Halvorn",
       [](RecordWorld& w) { return !w.fake.registry.HasKey("HKLM\\SOFTWARE\\Halvorn"); }},
      {"a module deleted without its copy", kBackupFolder,
       [](RecordWorld& w) { return DeleteDllFiles(w.fake.machine, "C:\\Srv", &w.state.record); },
       "Could not keep a copy of what is there, so this is not changed: C:\\Srv\\HNembricAI.dll",
       [](RecordWorld& w) { return w.fake.files.Content("C:\\Srv\\HNembricAI.dll") == "the module"; }},
  };
  for (const Case& c : cases) {
    RecordWorld world;
    world.fake.files.SetContent("C:\\Srv\\HNembricAI.dll", "the module");
    world.fake.files.refusedPaths.insert(c.refused);
    const ActionResult result = c.change(world);
    EXPECT_FALSE(result.ok()) << c.name;
    EXPECT_EQ(result.line, c.line) << c.name;
    EXPECT_TRUE(c.unchanged(world)) << c.name;
  }
}

// A file the run writes twice is the run's again before its second write: a run cut off in it leaves a
// file the record owns, whatever its size and time.
TEST(WriteAhead, AFileWrittenTwiceIsNamedBeforeEachWrite) {
  RecordWorld world;
  InstallRecord& record = world.state.record;
  const std::string path = "C:\\Srv\\site.cfg";
  for (const char* content : {"first", "second"}) {
    ASSERT_TRUE(record.BeforeWriting(path).ok());
    world.fake.files.SetContent(path, content);
    ASSERT_TRUE(record.AddFile(path).ok());
  }
  world.fake.files.SetContent(path, "cut off in the third write");
  ASSERT_TRUE(record.BeforeWriting(path).ok());
  const std::string text = world.Record();
  EXPECT_TRUE(text.ends_with("server\tfile\tC:\\Srv\\site.cfg\t-\t-\r\n")) << text;
  EXPECT_TRUE(ProductRemoval(world.state).TakeBack(RecordScope::server));
  EXPECT_FALSE(world.fake.files.Content(path));
}

// A restore that fails keeps the copy and its line, the taking back says so, and the next one puts the
// file back.
TEST(TakeBack, AnUndoThatFailsKeepsItsLineAndItsCopy) {
  RecordWorld world;
  const std::string module = "C:\\Srv\\HNembricAI.dll";
  world.fake.files.SetContent(module, "the installed module");
  ASSERT_TRUE(world.state.record.BeforeWriting(module).ok());
  world.fake.files.SetContent(module, "the new module");
  world.fake.files.heldOpen.insert(module);
  EXPECT_FALSE(ProductRemoval(world.state).TakeBack(RecordScope::server));
  EXPECT_NE(world.Record().find("server\tbackup\tC:\\Srv\\HNembricAI.dll\t"), std::string::npos)
      << world.Record();
  EXPECT_TRUE(world.fake.files.Content(kBackupFolder + std::string("\\1-HNembricAI.dll")));
  world.fake.files.heldOpen.clear();
  EXPECT_TRUE(ProductRemoval(world.state).TakeBack(RecordScope::server));
  EXPECT_EQ(world.fake.files.Content(module), "the installed module");
  const std::string log = world.Log();
  EXPECT_NE(log.find("Could not restore file C:\\Srv\\HNembricAI.dll"), std::string::npos) << log;
  EXPECT_NE(log.find("Restored file C:\\Srv\\HNembricAI.dll"), std::string::npos) << log;
}

// An uninstall that could not undo a change keeps it in the record, names it, and ends with a shortfall
// (exit 1603); the next uninstall tries again.
TEST(Uninstall, AChangeThatCannotBeUndoneStaysAndTheUninstallFails) {
  RecordWorld world;
  world.state.record.scope = RecordScope::server;
  ASSERT_TRUE(world.state.record.Add(Kind::msi, {"{11111111-2222-3333-4444-555555555555}"}).ok());
  world.state.record.EndRun();
  FakeProcesses::Program failing;
  failing.exitCode = 1603;
  world.fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", failing);
  const RunEnd end =
      RunMaintenance(world.state, world.steps, {MaintenanceChoice::Action::uninstall, true, false});
  EXPECT_EQ(end.shortfall,
            "Could not remove every change: what is left stays in the install record for the next uninstall. "
            "Please see the setup log");
  EXPECT_NE(world.Record().find("server\tmsi\t{11111111-2222-3333-4444-555555555555}"), std::string::npos);
}

// A Windows Installer product is the run's only when it was not there before; it is named before msiexec
// starts.
TEST(RunServerInstaller, AProductThereBeforeTheRunIsNeverTheRuns) {
  constexpr char kCode[] = "{11111111-2222-3333-4444-555555555555}";
  for (const bool installedBefore : {false, true}) {
    RecordWorld world;
    world.fake.files.SetContent("C:\\Srv\\Update\\NembricISSetup.msi", "MSI");
    world.fake.installerDatabase.packages["C:\\Srv\\Update\\NembricISSetup.msi"] = {{"ProductCode", kCode}};
    if (installedBefore) {
      world.fake.installerDatabase.installedProducts.insert(kCode);
    }
    std::string recordAtStart;
    FakeProcesses::Program msiexec;
    msiexec.effect = [&world, &recordAtStart] { recordAtStart = world.Record(); };
    world.fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", msiexec);
    EXPECT_TRUE(RunServerInstaller(world.state, "C:\\Srv\\Update", "NembricISSetup.msi").ok());
    EXPECT_EQ(recordAtStart.find(std::string("server\tmsi\t") + kCode) != std::string::npos, !installedBefore)
        << recordAtStart;
    EXPECT_EQ(world.Record(), recordAtStart);
    // On disk before the installer starts.
    EXPECT_FALSE(world.fake.files.flushes.empty());
  }
}

// The pool's stop is in the record first: a run cut off before the pool runs again has it started by the
// next run's settle.
TEST(TakeBack, APoolTheCutRunStoppedRunsAgain) {
  RecordWorld world;
  const auto pool = world.fake.iis.AddItem(u"system.applicationHost/applicationPools", "add",
                                           {{u"name", u"HNembricAI"}, {u"state", u"Started"}});
  ASSERT_TRUE(world.state.record.Add(Kind::poolStopped, {"HNembricAI"}).ok());
  ASSERT_TRUE(IisWebsite(world.state).StopAppPool("HNembricAI"));
  ASSERT_EQ(*pool->Property(u"state"), u"Stopped");
  Program next{world.fake.machine};
  next.state.startDirectory = "C:\\";
  SettleCutOffRun(next.state);
  EXPECT_EQ(*pool->Property(u"state"), u"Started");
}

// Taking back goes newest change first, whatever the kind: the value set last goes before the file and the
// folder made before it.
TEST(Uninstall, UndoesNewestChangeFirstWhateverItsKind) {
  RecordWorld world;
  world.state.record.scope = RecordScope::client;
  ASSERT_TRUE(CreateDirectoryChain(world.fake.machine, "C:\\App", &world.state.record).ok());
  ASSERT_TRUE(world.state.record.BeforeWriting("C:\\App\\a.exe").ok());
  world.fake.files.SetContent("C:\\App\\a.exe", "MZ");
  ASSERT_TRUE(world.state.record.AddFile("C:\\App\\a.exe").ok());
  ASSERT_TRUE(
      WriteRegistryString(world.state, RegistryKey::currentUser, "Software\\Halvorn\\App", "V", "1").ok());
  world.state.record.EndRun();
  ProductRemoval(world.state).Remove(true, false);
  const std::string log = world.Log();
  const std::size_t value = log.find("Client Setup:Removed registry value HKCU\\Software\\Halvorn\\App\\V");
  const std::size_t file = log.find("Client Setup:Removed file C:\\App\\a.exe");
  const std::size_t folder = log.find("Client Setup:Removed folder C:\\App");
  ASSERT_NE(value, std::string::npos) << log;
  EXPECT_LT(value, file) << log;
  EXPECT_LT(file, folder) << log;
}

// A power cut keeps what was flushed: the lines before the last flush are read, the zeros the cut left of
// the later ones are no lines and no unknown format.
TEST(InstallRecord, APowerCutLeavesTheLinesFlushedAndZerosAreNoLines) {
  RecordWorld world;
  InstallRecord& record = world.state.record;
  ASSERT_TRUE(record.AddFolder("C:\\Srv").ok());
  // A line in the cache alone when the power goes (every line of the record is flushed as it is written:
  // this one is written past it).
  {
    FakeFiles& files = world.fake.files;
    const FileHandle file =
        files.Create(kInstallRecordPath, Files::kGenericWrite, 0, Files::kOpenExisting, 0);
    ASSERT_TRUE(files.SeekToEnd(file) && files.Write(file, "server\tfolder\tC:\\Srv\\Lost\r\n"));
    files.Close(file);
  }
  world.fake.files.PowerCut();
  ASSERT_TRUE(world.Record().ends_with(std::string(1, '\0')));
  const std::optional<std::vector<RecordEntry>> entries = record.Read();
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2U);
  EXPECT_EQ(entries->back(), (RecordEntry{RecordScope::server, Kind::folder, {"C:\\Srv"}}));
  // Appended after the cut, a line is read again.
  ASSERT_TRUE(record.AddFolder("C:\\Srv\\Again").ok());
  EXPECT_EQ(record.Read()->back(), (RecordEntry{RecordScope::server, Kind::folder, {"C:\\Srv\\Again"}}));
  // A record cut before its first flush is zeros throughout: it holds nothing, and is begun again.
  world.fake.files.SetContent(kInstallRecordPath, std::string(64, '\0'));
  EXPECT_EQ(record.Read(), std::vector<RecordEntry>());
}

}  // namespace
