#include "steps/toolkit/protected_folder.h"

#include <gtest/gtest.h>

#include "core/security_text.h"
#include "journal/install_record.h"
#include "product/setup_log.h"
#include "setup_world.h"
#include "steps/undo/product_removal.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kClient[] = "C:\\NembricClient";
constexpr char kUpdate[] = "C:\\NembricClient\\Update";
constexpr char kPlanted[] = "C:\\NembricClient\\Update\\VC_redist.x64.exe";

std::string LogOf(SetupWorld& world) {
  CloseLog(world.state);
  return world.fake.files.Content(kLogPath).value_or("");
}

// Whether a standard user can put a file into the folder, or change one that is there.
bool UserCanWrite(FakeFiles& files, const std::string& path) {
  return files.AsStandardUser([&] {
    const FileHandle file = files.Create(path, Files::kGenericWrite, Files::kShareRead, Files::kCreateAlways,
                                         Files::kAttributeNormal);
    return file != FileHandle::invalid && files.Close(file);
  });
}

// A folder made under C:\ without a descriptor inherits "Authenticated Users: Modify" from the root: every
// user may replace what is in it. The client's update folder, whence programs run elevated, is made
// protected, or made so when it was there; a junction in its place is refused.
TEST(ProtectedFolders, TheUpdateFolderIsProtectedOrRefusedAndTheUsersWritesFail) {
  struct Case {
    const char* what;
    bool refused;
    const char* line;
  };
  for (const Case& c :
       {Case{"made new", false, nullptr},
        Case{"made by a standard user before the run", false,
             "Client Setup:Secured C:\\NembricClient\\Update: it was owned by "
             "S-1-5-21-1004336348-1177238915-682003330-1001 and could be changed by AU, and 1 "
             "of the files and folders in it had another owner or writer; now the "
             "Administrators own it and what is in it, and only SYSTEM and Administrators may "
             "change them"},
        Case{"a junction to the system folder", true,
             "Client Setup:Refused C:\\NembricClient\\Update: a junction, symbolic link or "
             "mount point"},
        Case{"already right", false, nullptr}}) {
    SetupWorld world;
    FakeFiles& files = world.fake.files;
    world.state.startDirectory = "C:\\";
    world.state.choices.clientDirectory = kClient;
    world.state.record.scope = RecordScope::client;
    const std::string what = c.what;
    if (what == "made by a standard user before the run") {
      files.AsStandardUser([&] {
        files.MakeDirectory(kClient);
        files.MakeDirectory(kUpdate);
        const FileHandle planted = files.Create(kPlanted, Files::kGenericWrite, 0, Files::kCreateAlways, 0);
        return files.Close(planted);
      });
      ASSERT_TRUE(files.Content(kPlanted));
    } else if (what == "a junction to the system folder") {
      files.AddDirectory(kClient);
      files.AddJunction(kUpdate, "C:\\Windows\\system32");
    } else if (what == "already right") {
      files.AddDirectory(kUpdate);
      files.SetSecurityText(kUpdate, "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
    }
    EXPECT_TRUE(world.steps.client.UpdateClient({}));
    const std::string log = LogOf(world);
    EXPECT_EQ(world.state.failed.client, c.refused) << what;
    EXPECT_EQ(log.find("Secured") != std::string::npos, c.line != nullptr && !c.refused) << what << "\n"
                                                                                         << log;
    if (c.line != nullptr) {
      EXPECT_NE(log.find(std::string(c.line) + "\r\n"), std::string::npos) << what << "\n" << log;
    }
    if (c.refused) {
      // Nothing was written through the junction.
      EXPECT_TRUE(files.FilesUnder("C:\\Windows\\system32").empty()) << what;
      continue;
    }
    const SecurityText security = files.EffectiveSecurity(kUpdate);
    EXPECT_EQ(security.owner, "BA") << what;
    EXPECT_TRUE(security.protectedDacl) << what;
    EXPECT_FALSE(UserCanWrite(files, std::string(kUpdate) + "\\VC_redist.x64.exe")) << what;
    EXPECT_FALSE(files.AsStandardUser([&] { return files.Remove(kPlanted); })) << what;
    // The client's folder keeps the rights it had.
    EXPECT_TRUE(UserCanWrite(files, std::string(kClient) + "\\notes.txt")) << what;
  }
}

// The server's folder is the website's: the worker processes (IIS_IUSRS) read it, and a module a user
// planted there before the run is the administrators' once the run has secured the folder.
TEST(ProtectedFolders, TheServerFolderAndWhatIsInItBecomeTheAdministrators) {
  SetupWorld world;
  FakeFiles& files = world.fake.files;
  world.state.startDirectory = "C:\\";
  world.state.choices.serverDirectory = "C:\\HNembricAI";
  world.state.record.scope = RecordScope::server;
  files.AsStandardUser([&] {
    files.MakeDirectory("C:\\HNembricAI");
    return files.Close(
        files.Create("C:\\HNembricAI\\HNembricAI.dll", Files::kGenericWrite, 0, Files::kCreateAlways, 0));
  });
  world.steps.server.PrepareServerRepair();
  EXPECT_FALSE(world.state.failed.server);
  const SecurityText folder = files.EffectiveSecurity("C:\\HNembricAI");
  EXPECT_EQ(folder.owner, "BA");
  EXPECT_NE(
      std::find(folder.entries.begin(), folder.entries.end(),
                AccessEntry{true, Inheritance::objects | Inheritance::containers, 0x1200a9, "S-1-5-32-568"}),
      folder.entries.end());
  EXPECT_EQ(files.EffectiveSecurity("C:\\HNembricAI\\HNembricAI.dll").owner, "BA");
  EXPECT_FALSE(UserCanWrite(files, "C:\\HNembricAI\\HNembricAI.dll"));
  EXPECT_FALSE(UserCanWrite(files, "C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe"));

  // A server folder that is a junction is refused before anything is made through it.
  SetupWorld through;
  through.state.startDirectory = "C:\\";
  through.state.choices.serverDirectory = "C:\\HNembricAI";
  through.state.record.scope = RecordScope::server;
  through.fake.files.AddJunction("C:\\HNembricAI", "C:\\Windows");
  through.steps.server.PrepareServerRepair();
  EXPECT_TRUE(through.state.failed.server);
  EXPECT_FALSE(through.fake.files.DirectoryExists("C:\\Windows\\Update"));
  EXPECT_NE(LogOf(through).find(
                "Server Setup:Refused C:\\HNembricAI: a junction, symbolic link or mount point\r\n"),
            std::string::npos);
}

// Taking back never follows a junction: a folder the run made that is now a junction to another folder
// leaves that folder's files alone.
TEST(ProtectedFolders, TakingBackNeverFollowsAJunction) {
  SetupWorld world;
  FakeFiles& files = world.fake.files;
  world.state.startDirectory = "C:\\";
  files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
  files.SetContent("C:\\Windows\\system32\\kernel.dll", "the system's");
  InstallRecord& record = world.state.record;
  record.BeginRun("install", true, false);
  record.scope = RecordScope::client;
  ASSERT_TRUE(record.AddNewFile("C:\\NembricClient\\Update\\kernel.dll").ok());
  files.AddDirectory(kClient);
  files.AddJunction(kUpdate, "C:\\Windows\\system32");
  static_cast<void>(ProductRemoval(world.state).TakeBack(RecordScope::client));
  EXPECT_EQ(files.Content("C:\\Windows\\system32\\kernel.dll"), "the system's");
  EXPECT_NE(LogOf(world).find("Passed over a record entry that names no safe path: "
                              "C:\\NembricClient\\Update\\kernel.dll"),
            std::string::npos);
}

// The owner and DACL read back as Windows writes them, whichever name a well-known SID goes by; what is no
// SDDL is refused.
TEST(SecurityText, ReadsWhatWindowsWritesAndRefusesAnythingElse) {
  const std::optional<SecurityText> read = ParseSecurityText(
      "O:S-1-5-32-544G:SYD:PAI(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;ID;0x1200a9;;;S-1-5-32-545)");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->owner, "BA");
  EXPECT_TRUE(read->protectedDacl);
  ASSERT_EQ(read->entries.size(), 3U);
  EXPECT_EQ(read->entries[1],
            (AccessEntry{true, Inheritance::objects | Inheritance::containers | Inheritance::inheritOnly,
                         access_rights::kFileAll, "CO"}));
  EXPECT_EQ(read->entries[2].sid, "BU");
  EXPECT_EQ(ParseSecurityText(SecurityTextOf(*read)), read);
  for (const char* wrong : {"O:", "D:(A;;FA;;;SY", "D:(X;;FA;;;SY)", "D:(A;;QQ;;;SY)", "D:(A;ZZ;FA;;;SY)",
                            "Q:BA", "D:(A;;FA;;;s-1)"}) {
    EXPECT_FALSE(ParseSecurityText(wrong)) << wrong;
  }
}

}  // namespace
