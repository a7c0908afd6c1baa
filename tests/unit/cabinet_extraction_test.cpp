#include "steps/toolkit/cabinet_extraction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <string>

#include "product/setup_log.h"
#include "product/setup_state.h"
#include "setup_world.h"
#include "steps/server/server_setup.h"
#include "steps/toolkit/cabinet_buffers.h"
#include "steps/toolkit/cabinet_callbacks.h"
#include "test_cabinets.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kCabinetFolder[] = "C:\\Nembric\\Update\\cab\\";
constexpr char kDestination[] = "C:\\Nembric\\Client";
constexpr char kReadme[] = "Halvorn Nembric test file\r\n";
constexpr char kTool[] = "MZ tool library stand-in\r\n";
// 2024-03-01 12:00:00 as a FILETIME: the time stamp of every file in the test cabinets.
constexpr std::uint64_t kStamp = 133537680000000000ULL;
constexpr std::uint64_t kHour = 36000000000ULL;

struct CabinetWorld : SetupWorld {
  CabinetWorld() {
    state.startDirectory = "C:\\";
    fake.files.AddDirectory(kDestination);
    fake.files.AddDirectory(kCabinetFolder);
  }
  void Put(const std::string& name) {
    const std::string bytes = ReadCabinet(name);
    ASSERT_FALSE(bytes.empty()) << name;
    fake.files.SetContent(kCabinetFolder + name, bytes);
  }
  ActionResult Copy(const std::string& name, const std::string& destination = kDestination) {
    return CopyCabinet(state, name, kCabinetFolder, destination);
  }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
  std::string File(const std::string& name) {
    return fake.files.Content(std::string(kDestination) + "\\" + name).value_or("<missing>");
  }
};

TEST(CabinetErrorText, NamesEveryFdiErrorAndUnknownOnes) {
  EXPECT_STREQ(CabinetErrorText(0), "No error");
  EXPECT_STREQ(CabinetErrorText(1), "Cabinet not found");
  EXPECT_STREQ(CabinetErrorText(4), "Corrupt cabinet");
  EXPECT_STREQ(CabinetErrorText(9), "Cabinets in set have different RESERVE sizes");
  EXPECT_STREQ(CabinetErrorText(10), "Cabinet returned on fdintNEXT_CABINET is incorrect");
  EXPECT_STREQ(CabinetErrorText(11), "Application aborted");
  EXPECT_STREQ(CabinetErrorText(12), "Unknown error");
  EXPECT_STREQ(CabinetErrorText(-1), "Unknown error");
}

TEST(CopyCabinet, ExtractsEveryFileWithTheCabinetTimeStampInUtc) {
  CabinetWorld world;
  world.fake.files.utcBiasMinutes = -60;  // local time is an hour ahead of UTC
  world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
  world.Put("plain.cab");
  ASSERT_TRUE(world.Copy("plain.cab"));

  EXPECT_EQ(world.File("readme.txt"), kReadme);
  EXPECT_EQ(world.File("bin\\tool.dll"), kTool);
  for (const char* name : {"readme.txt", "bin\\tool.dll"}) {
    const auto times = world.fake.files.TimesOf(std::string(kDestination) + "\\" + name);
    ASSERT_TRUE(times.has_value()) << name;
    EXPECT_EQ(times->lastWrite, kStamp - kHour) << name;
    EXPECT_EQ(times->creation, times->lastWrite);
    EXPECT_EQ(times->lastAccess, times->lastWrite);
  }
  // Target paths carry the destination's backslash and the callback's own.
  bool sawDoubled = false;
  for (const auto& create : world.fake.files.creates) {
    if (create.path == "C:\\Nembric\\Client\\\\readme.txt") {
      sawDoubled = true;
    }
  }
  EXPECT_FALSE(sawDoubled);  // CopyCabinet takes the destination as given
  EXPECT_EQ(world.Log(), "");
  EXPECT_EQ(world.fake.runtime.standardOutput, "");
  EXPECT_EQ(world.fake.files.OpenHandles(), 0U);
  EXPECT_EQ(world.fake.cabinet.OpenContexts(), 0U);
}

TEST(CopyCabinet, ReplacesFilesOnASecondExtraction) {
  CabinetWorld world;
  world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
  world.Put("large.cab");
  world.fake.files.SetContent(std::string(kDestination) + "\\large.dat", std::string(400000, 'x'));
  ASSERT_TRUE(world.Copy("large.cab"));
  ASSERT_TRUE(world.Copy("large.cab"));
  const std::string extracted = world.File("large.dat");
  EXPECT_EQ(extracted.size(), 300000U);
  EXPECT_EQ(extracted.find('x'), std::string::npos);
  EXPECT_EQ(extracted.substr(0, 1).find_first_of("hnscfd"), 0U);
}

// A target that cannot be created aborts the copy; each attempt extracts the cabinet from the start, five
// in all, and the last one fails without a log line. Files written before stay.
TEST(CopyCabinet, RetriesAnAbortedCopyFiveTimesWithoutALogLine) {
  struct Case {
    const char* what;
    bool folderRefused;
    bool fileHeld;
  };
  for (const Case& c :
       {Case{"folder of an entry cannot be made", true, false}, Case{"file in use", false, true}}) {
    CabinetWorld world;
    if (c.folderRefused) {
      world.fake.files.refusedPaths.insert("c:\\NEMBRIC\\Client\\bin");
    } else {
      world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
    }
    if (c.fileHeld) {
      world.fake.files.SetContent(std::string(kDestination) + "\\bin\\tool.dll", "running");
      world.fake.files.heldOpen.insert("c:\\NEMBRIC\\Client\\bin\\tool.dll");
    }
    world.Put("plain.cab");
    // The last attempt's call and FDIERROR value, with the text no line was logged for.
    EXPECT_EQ(world.Copy("plain.cab"), ActionResult::Failed("FDICopy", 11, "Application aborted")) << c.what;
    EXPECT_EQ(world.fake.cabinet.copies, 5) << c.what;
    EXPECT_EQ(world.Log(), "") << c.what;
    EXPECT_EQ(world.fake.runtime.standardOutput, "") << c.what;
    EXPECT_EQ(world.File("readme.txt"), kReadme) << c.what;
    EXPECT_EQ(world.fake.files.OpenHandles(), 0U) << c.what;
  }
}

TEST(CopyCabinet, MakesTheFoldersOfNestedEntriesBelowTheDestination) {
  CabinetWorld world;
  world.Put("nested.cab");
  ASSERT_TRUE(world.Copy("nested.cab"));
  EXPECT_EQ(world.fake.cabinet.copies, 1);
  EXPECT_EQ(world.File("top.dll"), "MZ top library stand-in\r\n");
  EXPECT_EQ(world.File("Data\\readme.txt"), "Halvorn Nembric data\r\n");
  EXPECT_EQ(world.File("Data\\Forms\\main.frm"), "form main\r\n");
  EXPECT_EQ(world.Log(), "");
}

// Hostile cabinets, each read through the setup's callbacks: nothing lands outside the destination, no
// cabinet takes long, and each that fails says so in the log. "refuse": nothing is extracted at all;
// "fail": the copy fails; "contain": whatever it does stays in the destination.
TEST(CopyCabinet, HostileCabinetsStayInTheDestinationAndEndPromptly) {
  std::ifstream list(std::string(TEST_CABINET_DIR) + "/hostile/list.txt");
  std::string name;
  std::string rule;
  int cabinets = 0;
  while (list >> name >> rule) {
    ++cabinets;
    CabinetWorld world;
    world.Put("hostile/" + name);
    const auto start = std::chrono::steady_clock::now();
    const bool copied = CopyCabinet(world.state, "hostile/" + name, kCabinetFolder, kDestination).ok();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << name;
    const std::string destination = "c:\\nembric\\client\\";
    bool extracted = false;
    for (const std::string& file : world.fake.files.FilePaths()) {
      extracted |= file.starts_with(destination);
      EXPECT_TRUE(file.starts_with(destination) || file.starts_with("c:\\nembric\\update\\cab\\") ||
                  file == "c:\\halvorn nembricai  setup v10.1.3.log")
          << name << ": " << file;
      EXPECT_EQ((file + "\\").find("\\..\\"), std::string::npos) << name << ": " << file;
    }
    // A copy that fails says why.
    EXPECT_TRUE(copied || !world.Log().empty()) << name;
    if (rule != "contain") {
      EXPECT_FALSE(copied) << name;
    }
    if (rule == "refuse") {
      EXPECT_FALSE(extracted) << name;
    }
    EXPECT_EQ(world.fake.files.OpenHandles(), copied ? 0U : 1U)
        << name;  // the log stays open after a failure
  }
  EXPECT_GE(cabinets, 20);
}

TEST(CopyCabinet, ReportsOtherFailuresOnceInTheLogAndOnStandardOutput) {
  struct Case {
    const char* cabinet;
    bool present;
    const char* log;
    const char* output;
  };
  for (const Case& c : {
           Case{"missing.cab", false, "Server Setup:Cabinet not found\r\n",
                "FDICopy failed with error code 1: Cabinet not found\n"},
           Case{"notacab.cab", true, "Server Setup:Not valid cabinet\r\n",
                "FDICopy failed with error code 2: Not valid cabinet\n"},
           Case{"truncated.cab", true, "Server Setup:Corrupt cabinet\r\n",
                "FDICopy failed with error code 4: Corrupt cabinet\n"},
           Case{"corrupt.cab", true, "Server Setup:Corrupt cabinet\r\n",
                "FDICopy failed with error code 4: Corrupt cabinet\n"},
       }) {
    CabinetWorld world;
    world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
    if (c.present) {
      world.Put(c.cabinet);
    }
    EXPECT_FALSE(world.Copy(c.cabinet)) << c.cabinet;
    EXPECT_EQ(world.fake.cabinet.copies, 1) << c.cabinet;
    EXPECT_EQ(world.Log(), c.log) << c.cabinet;
    EXPECT_EQ(world.fake.runtime.standardOutput, c.output) << c.cabinet;
    CloseLog(world.state);
    EXPECT_EQ(world.fake.files.OpenHandles(), 0U) << c.cabinet;
  }
}

// A disk that fills up during the extraction is a failed write, reported once, however the writes are
// gathered: before the file's last block (a full buffer) or with it (the rest of the file).
TEST(CopyCabinet, AFullDiskIsAFailedWrite) {
  for (const std::size_t room : {std::size_t{1000}, std::size_t{299000}}) {
    CabinetWorld world;
    world.Put("large.cab");
    world.fake.files.freeBytes = room;
    EXPECT_FALSE(world.Copy("large.cab")) << room;
    EXPECT_EQ(world.fake.cabinet.copies, 1) << room;
    EXPECT_EQ(world.fake.runtime.standardOutput,
              "FDICopy failed with error code 8: Failure writing to target file\n")
        << room;
    CloseLog(world.state);
    EXPECT_EQ(world.fake.files.OpenHandles(), 0U) << room;
  }
}

// Names in a cabinet come with the download: one that would land outside the destination fails the
// cabinet with a log line, at once, and nothing is written for it anywhere.
TEST(CopyCabinet, RejectsEntriesThatLeaveTheDestination) {
  for (const char* cabinet : {"parent.cab", "rooted.cab", "drive.cab"}) {
    CabinetWorld world;
    world.Put(cabinet);
    EXPECT_FALSE(world.Copy(cabinet)) << cabinet;
    EXPECT_EQ(world.fake.cabinet.copies, 1) << cabinet;
    EXPECT_EQ(world.fake.files.Content("C:\\Nembric\\evil.txt"), std::nullopt) << cabinet;
    EXPECT_EQ(world.fake.files.Content("C:\\evil.txt"), std::nullopt) << cabinet;
    EXPECT_TRUE(world.fake.files.FilesUnder(kDestination).empty()) << cabinet;
    EXPECT_TRUE(world.Log().starts_with("Server Setup:Cabinet entry rejected: ")) << world.Log();
    EXPECT_NE(world.Log().find("evil.txt;the name leaves the destination folder\r\n"), std::string::npos)
        << world.Log();
  }
}

// A folder of the destination that a user made a junction (the client's folder keeps its users' rights)
// would send the setup's writes wherever it points: the entry is refused and nothing is written there.
TEST(CopyCabinet, NeverWritesThroughAJunctionInTheDestination) {
  CabinetWorld world;
  world.fake.files.AddJunction(std::string(kDestination) + "\\Data", "C:\\Windows\\system32");
  world.Put("nested.cab");
  EXPECT_FALSE(world.Copy("nested.cab"));
  EXPECT_TRUE(world.fake.files.FilesUnder("C:\\Windows\\system32").empty());
  EXPECT_NE(world.Log().find("the target path passes a junction, symbolic link or mount point\r\n"),
            std::string::npos)
      << world.Log();
}

TEST(CopyCabinet, RejectsATargetPathBeyond255Characters) {
  for (const std::size_t length : {std::size_t{242}, std::size_t{243}}) {
    // destination + "\" + "bin\tool.dll" is length + 13 characters
    CabinetWorld world;
    const std::string destination = "C:\\" + std::string(length - 3, 'd');
    world.fake.files.AddDirectory(destination + "\\bin");
    world.Put("plain.cab");
    const bool fits = length + 13 <= 255;
    EXPECT_EQ(world.Copy("plain.cab", destination).ok(), fits) << length;
    if (!fits) {
      EXPECT_NE(world.Log().find("the target path is longer than 255 characters"), std::string::npos);
      EXPECT_EQ(world.fake.cabinet.copies, 1);
    }
  }
}

TEST(CopyCabinet, FailedCreateAndDestroyAreReported) {
  {
    CabinetWorld world;
    world.fake.cabinet.failCreate = true;
    world.Put("plain.cab");
    EXPECT_FALSE(world.Copy("plain.cab"));
    EXPECT_EQ(world.Log(), "Server Setup:Memory allocation failed\r\n");
    EXPECT_EQ(world.fake.cabinet.copies, 0);
  }
  {
    CabinetWorld world;
    world.fake.cabinet.failDestroy = true;
    world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
    world.Put("plain.cab");
    EXPECT_TRUE(world.Copy("plain.cab"));  // the files are out: the result stands
    EXPECT_EQ(world.Log(), "Server Setup:No error\r\n");
    EXPECT_EQ(world.fake.runtime.standardOutput, "FDIDestroy failed with error code 0: No error\n");
  }
}

TEST(ExtractCabinet, SkipsNamesWithoutCabAndAddsBackslashes) {
  CabinetWorld world;
  world.fake.files.AddDirectory(std::string(kDestination) + "\\bin");
  world.Put("plain.cab");
  for (const char* name : {"SQLEXPR_x64_ENU.exe", "SETUP.CAB"}) {
    EXPECT_TRUE(ExtractCabinet(world.state, name, "C:\\Nembric\\Update\\cab", kDestination));
  }
  EXPECT_EQ(world.fake.cabinet.copies, 0);
  EXPECT_TRUE(world.fake.files.FilesUnder(kDestination).empty());

  ASSERT_TRUE(ExtractCabinet(world.state, "plain.cab", "C:\\Nembric\\Update\\cab", kDestination));
  bool sawDoubled = false;
  for (const auto& create : world.fake.files.creates) {
    sawDoubled = sawDoubled || create.path == "C:\\Nembric\\Client\\\\readme.txt";
  }
  EXPECT_TRUE(sawDoubled);
  EXPECT_EQ(world.File("readme.txt"), kReadme);
}

TEST(CabinetEntryNames, OnlyNamesBelowTheDestinationAreSafe) {
  for (const char* name : {"readme.txt", "bin\\tool.dll", "a..b.txt", ".\\x", "..a", "bin/x.dll"}) {
    EXPECT_TRUE(IsSafeCabinetEntryName(name)) << name;
  }
  for (const char* name : {"", "..\\x", "bin\\..\\..\\x", "\\x", "/x", "C:\\x", "C:x", "x:stream",
                           "bin/../../x", "...\\x", ".. \\x", ".."}) {
    EXPECT_FALSE(IsSafeCabinetEntryName(name)) << name;
  }
}

// The file callbacks map FDI's open flags onto CreateFile as the library expects.
TEST(CabinetCallbacks, OpenFlagsChooseAccessAndCreation) {
  FakeMachine fake;
  fake.files.SetContent("C:\\x.bin", "abc");
  CabinetCallbacks callbacks(fake.files);
  struct Case {
    int flags;
    std::uint32_t access;
    std::uint32_t disposition;
  };
  for (const Case& c : {Case{0x8000, Files::kGenericRead, Files::kOpenExisting},
                        Case{0x1, Files::kGenericWrite, Files::kOpenExisting},
                        Case{0x2 | 0x1, Files::kGenericRead | Files::kGenericWrite, Files::kOpenExisting},
                        Case{0x100 | 0x1, Files::kGenericWrite, Files::kCreateAlways}}) {
    const std::intptr_t file = callbacks.CabOpen("C:\\x.bin", c.flags, 0x180);
    ASSERT_NE(file, -1);
    EXPECT_EQ(fake.files.creates.back().access, c.access) << c.flags;
    EXPECT_EQ(fake.files.creates.back().disposition, c.disposition) << c.flags;
    EXPECT_EQ(fake.files.creates.back().share, Files::kShareRead);
    EXPECT_EQ(callbacks.CabClose(file), 0);
  }
  EXPECT_EQ(callbacks.CabOpen("C:\\missing.bin", 0x8000, 0), -1);
  EXPECT_EQ(callbacks.CabClose(0x4242), -1);
  char buffer[4] = {};
  EXPECT_EQ(callbacks.CabRead(0x4242, buffer, 4), UINT32_MAX);
  EXPECT_EQ(callbacks.CabSeek(0x4242, 0, 0), -1);

  CabinetNotification next;
  next.error = CabinetError::none;
  EXPECT_EQ(callbacks.CabNotify(CabinetNotificationType::nextCabinet, next), 0);
  next.error = CabinetError::wrongCabinet;
  EXPECT_EQ(callbacks.CabNotify(CabinetNotificationType::nextCabinet, next), -1);
  EXPECT_EQ(callbacks.CabNotify(static_cast<CabinetNotificationType>(6), next), -1);
}

// The cabinet is read ahead: every read and seek answers as the file itself would, across refills of the
// window, seeks inside and outside it, from each origin, before the start and past the end, and the end of
// the file.
TEST(ReadAheadFile, AnswersEveryReadAndSeekAsTheFileDoes) {
  FakeMachine fake;
  std::string content(ReadAheadFile::kSize * 2 + 12345, '\0');
  std::mt19937 random(20240301);
  for (char& c : content) {
    c = static_cast<char>(random());
  }
  fake.files.SetContent("C:\\c.cab", content);
  const auto open = [&] {
    return fake.files.Create("C:\\c.cab", Files::kGenericRead, Files::kShareRead, Files::kOpenExisting,
                             Files::kAttributeNormal);
  };
  const FileHandle plain = open();
  ReadAheadFile ahead(fake.files, open());
  const auto size = static_cast<std::int32_t>(content.size());
  for (int step = 0; step < 4000; ++step) {
    const auto pick = [&](std::int32_t low, std::int32_t high) {
      return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    };
    if (pick(0, 2) == 0) {
      const auto method = static_cast<std::uint32_t>(pick(0, 2));
      const std::int32_t distance = pick(0, 9) == 0 ? pick(-2 * size, 2 * size) : pick(-70000, 70000);
      const auto expected = fake.files.Seek(plain, distance, method);
      ASSERT_EQ(ahead.Seek(distance, method), expected) << step << " seek " << distance << " from " << method;
    } else {
      const auto count = static_cast<std::uint32_t>(pick(0, 4) == 0 ? pick(0, 600000) : pick(0, 40000));
      std::string wanted(count, '\0');
      std::string got(count, '\0');
      const auto expected = fake.files.Read(plain, wanted.data(), count);
      const auto read = ahead.Read(got.data(), count);
      ASSERT_EQ(read, expected) << step << " read " << count;
      ASSERT_EQ(got.substr(0, read.value_or(0)), wanted.substr(0, expected.value_or(0))) << step;
    }
  }
}

}  // namespace
