#include "steps/download/fetch_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "run_world.h"
#include "setup_world.h"

namespace {

// When the work beside the run is done: at once, at the run's next wait for it, or never (no thread could
// be started: each transfer is made at its package's turn, as before packages came in ahead).
enum class Beside { noThread, atOnce, later };

void Schedule(FakeMachine& fake, Beside beside) {
  fake.runtime.besideRefused = beside == Beside::noThread;
  fake.runtime.besideLater = beside == Beside::later;
}

// The machine after the run, without the log, which a failed road's taking back adds to (see below), and
// with the record's file lines without their times: a package that came in ahead was written earlier.
std::vector<std::string> MachineAfter(RunWorld& world) {
  std::vector<std::string> dump = Dumped(world.fake);
  std::erase_if(dump,
                [](const std::string& line) { return line.starts_with("c:\\setup\\halvorn nembricai"); });
  const std::regex fileTime("(\tfile\t[^\t\r]*\t[0-9]+\t)[0-9]+");
  for (std::string& line : dump) {
    line = std::regex_replace(line, fileTime, "$1*");
  }
  return dump;
}

// The lines of one dump that the other does not hold, each marked with the side it is on.
std::vector<std::string> Differences(const std::vector<std::string>& run,
                                     const std::vector<std::string>& atTurns) {
  std::vector<std::string> differences;
  for (const std::string& line : run) {
    if (std::find(atTurns.begin(), atTurns.end(), line) == atTurns.end()) {
      differences.push_back("+ " + line.substr(0, 300));
    }
  }
  for (const std::string& line : atTurns) {
    if (std::find(run.begin(), run.end(), line) == run.end()) {
      differences.push_back("- " + line.substr(0, 300));
    }
  }
  return differences;
}

}  // namespace

// A Both install with SQL Server Express, whose packages after the server's first come in while those
// before them install, ends as it does when each is fetched at its turn: the same log line for line, the
// same machine, the same exit code, whenever the work beside the run gets its turn. A server whose update
// ends early (a request that cannot be opened) leaves nothing of the packages fetched ahead of it: they are
// taken back with the server, and the machine is as it is without any fetch ahead.
TEST(FetchAhead, ARunEndsAsWhenEachPackageIsFetchedAtItsTurn) {
  struct Road {
    const char* what;
    const char* unopenable;
    std::uint32_t exitCode;
  };
  for (const Road& road :
       {Road{"both install", nullptr, 0}, Road{"server ends early", "HNembricAI3.cab", 1603}}) {
    std::string logAtTurns;
    std::vector<std::string> machineAtTurns;
    for (const Beside beside : {Beside::noThread, Beside::atOnce, Beside::later}) {
      SCOPED_TRACE(std::string(road.what) + ", schedule " + std::to_string(static_cast<int>(beside)));
      RunWorld world;
      world.PrepareServer();
      Schedule(world.fake, beside);
      if (road.unopenable != nullptr) {
        world.fake.http.unopenablePaths.insert(std::string("downloads/") + road.unopenable);
      }
      EXPECT_EQ(world.Run(u"/quiet /answers=C:\\Setup\\answers.ini"), road.exitCode);
      EXPECT_EQ(world.fake.runtime.besideJobs, beside == Beside::noThread ? 0 : 2);
      if (beside == Beside::noThread) {
        logAtTurns = world.Log();
        machineAtTurns = MachineAfter(world);
        continue;
      }
      EXPECT_EQ(Differences(MachineAfter(world), machineAtTurns), std::vector<std::string>());
      if (road.unopenable == nullptr) {
        EXPECT_EQ(world.Log(), logAtTurns);
      } else {
        // The packages that came in ahead of the failed one are the run's files, and go with their lines.
        EXPECT_NE(world.Log().find("Server Setup:Removed file C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe"),
                  std::string::npos);
        EXPECT_FALSE(world.fake.files.Content("C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe").has_value());
      }
    }
  }
}

// A fetch ahead that goes before the work beside the run has had its turn makes no transfer: its packages
// are in the record (a cut-off run takes back what the record names) and nothing of them is on disk.
TEST(FetchAhead, GoingBeforeItsTurnItFetchesNothing) {
  for (const Beside beside : {Beside::atOnce, Beside::later}) {
    SetupWorld world;
    Schedule(world.fake, beside);
    world.fake.files.AddDirectory("C:\\Update");
    world.fake.http.Serve("a.cab", "cabinet a");
    world.state.httpSession =
        world.fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
    world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    world.state.record.BeginRun("install", false, true);
    world.state.record.scope = RecordScope::server;
    const PackageDownload download{LogTag::server,
                                   "a.cab",
                                   "C:\\Update",
                                   "Downloading ",
                                   "Downloaded ",
                                   true,
                                   Processing{"extract", [] { return ActionResult::Done(); }}};
    {
      FetchAhead ahead(world.state, {download});
      ahead.Start();
    }
    const std::string record = world.fake.files.Content(world.state.record.path).value_or("");
    EXPECT_NE(record.find("C:\\Update\\a.cab\t"), std::string::npos) << record;
    EXPECT_NE(record.find("C:\\Update\\a.cab.part"), std::string::npos) << record;
    EXPECT_EQ(world.fake.http.requests.empty(), beside == Beside::later);
    EXPECT_EQ(world.fake.files.Content("C:\\Update\\a.cab").has_value(), beside == Beside::atOnce);
    EXPECT_FALSE(world.fake.files.Content("C:\\Update\\a.cab.part").has_value());
  }
}
