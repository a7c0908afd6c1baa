#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "fake_machine.h"
#include "run/program.h"
#include "setup_world.h"
#include "test_cabinets.h"

namespace {

constexpr char kLog[] = "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kAnswers[] = "C:\\Setup\\answers.ini";
constexpr char kSetupCopy[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";

// A machine for runs without a window, each run a process of its own: the AI client's packages on the
// download server, its runtime missing (its installer then registers it).
struct PlanWorld {
  PlanWorld() {
    fake.files.currentDirectory = "C:\\Setup";
    fake.files.AddDirectory("C:\\Setup");
    fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
    fake.files.SetContent(kAnswers, "[Setup]\nSetupType=Client\nBitSize=AI Client\n");
    fake.http.Serve("NembricAIAppSetup.cab", FakeCrypto::Signed(ReadCabinet("plain.cab")));
    fake.http.Serve("VC_redist.x64.exe", FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {0, nullptr, false, {}});
    fake.processes.AddProgram("C:\\Windows\\system32\\cmd.exe", {});
  }
  std::uint32_t Run(const std::u16string& commandLine) {
    Program program{fake.machine};
    program.state.publisherPins = {FakeCrypto::Pin(FakeCrypto::kPublisherCaKey)};
    try {
      program.Run(commandLine, 1);
    } catch (const ProcessExit& exit) {
      return exit.exitCode;
    }
    return 0xFFFFFFFF;
  }
  // Later runs start from the installed copy, as the uninstall entry starts it.
  void AsInstalledProgram() {
    fake.files.modulePath = kSetupCopy;
    fake.files.runningImages.insert(kSetupCopy);
  }
  std::string Log() { return fake.files.Content(kLog).value_or(""); }
  FakeMachine fake;
};

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// The targets a JSON plan names: "path", or "key" and "name" ("key|name"), without case.
std::set<std::string> PlannedTargets(const std::string& json) {
  std::set<std::string> targets;
  const std::regex change(
      R"re(\{"component": "[a-z]+", "kind": "([a-z]+)"(, "path": "((?:[^"\\]|\\.)*)")?(, "key": "((?:[^"\\]|\\.)*)")?(, "name": "((?:[^"\\]|\\.)*)")?)re");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), change); it != std::sregex_iterator(); ++it) {
    const auto unescaped = [](std::string text) {
      return std::regex_replace(text, std::regex(R"(\\(.))"), "$1");
    };
    const std::string kind = (*it)[1];
    if (kind == "value") {
      targets.insert(Lowered(unescaped((*it)[5]) + "|" + unescaped((*it)[7])));
    } else if (kind == "key") {
      targets.insert(Lowered(unescaped((*it)[5])));
    } else if ((*it)[3].matched) {
      targets.insert(Lowered(unescaped((*it)[3])));
    }
  }
  return targets;
}

// What a machine holds that a plan can name: files and folders by path, keys by path, values as
// "key|name", all without case.
std::set<std::string> MachineTargets(FakeMachine& fake) {
  std::set<std::string> targets;
  for (const std::string& path : fake.files.FilePaths()) {
    targets.insert(Lowered(path));
  }
  for (const std::string& path : fake.files.DirectoryPaths()) {
    targets.insert(Lowered(path));
  }
  for (const std::string& line : fake.registry.Dump()) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      targets.insert(Lowered(line));
    } else {
      const std::string named = line.substr(0, equals);
      const std::size_t separator = named.find_last_of('\\');
      targets.insert(Lowered(named.substr(0, separator) + "|" + named.substr(separator + 1)));
    }
  }
  return targets;
}

std::vector<std::string> Dumped(FakeMachine& fake) {
  std::vector<std::string> dump = fake.registry.Dump();
  for (const std::string& path : fake.files.FilePaths()) {
    dump.push_back(path + "=" + fake.files.Content(path).value_or(""));
  }
  for (const std::string& path : fake.files.DirectoryPaths()) {
    dump.push_back(path);
  }
  return dump;
}

// A plan changes nothing but its own file, and names every change of the run it plans: what the run adds
// to the machine, and what it removes, is among the plan's targets.
TEST(PlannedRun, NamesEveryChangeOfTheRunAndMakesNone) {
  const struct {
    const char* what;
    bool installedFirst;
    std::u16string switches;
  } roads[] = {
      {"client install", false, u"/answers=C:\\Setup\\answers.ini /source=localhost"},
      {"client repair", true, u"/repair /type=client /source=localhost"},
      {"client uninstall", true, u"/uninstall /type=client"},
  };
  for (const auto& road : roads) {
    PlanWorld world;
    if (road.installedFirst) {
      ASSERT_EQ(world.Run(u"/quiet " + std::u16string(u"/answers=C:\\Setup\\answers.ini /source=localhost")),
                0U)
          << road.what;
      world.AsInstalledProgram();
    }
    const std::vector<std::string> before = Dumped(world.fake);
    const std::set<std::string> targetsBefore = MachineTargets(world.fake);
    const std::size_t startsBefore = world.fake.processes.starts.size();
    ASSERT_EQ(world.Run(u"/plan=C:\\Setup\\plan.json " + road.switches), 0U) << road.what << world.Log();
    const std::string json = world.fake.files.Content("C:\\Setup\\plan.json").value_or("");
    world.fake.files.Remove("C:\\Setup\\plan.json");
    EXPECT_EQ(Dumped(world.fake), before) << road.what;
    EXPECT_EQ(world.fake.processes.starts.size(), startsBefore) << road.what;
    const std::set<std::string> planned = PlannedTargets(json);
    EXPECT_FALSE(planned.empty()) << road.what << json;

    ASSERT_EQ(world.Run(u"/quiet " + road.switches), 0U) << road.what << world.Log();
    const std::set<std::string> targetsAfter = MachineTargets(world.fake);
    std::vector<std::string> unplanned;
    for (const std::string& target : targetsAfter) {
      if (!targetsBefore.contains(target) && !planned.contains(target)) {
        unplanned.push_back("made " + target);
      }
    }
    for (const std::string& target : targetsBefore) {
      if (!targetsAfter.contains(target) && !planned.contains(target)) {
        unplanned.push_back("removed " + target);
      }
    }
    EXPECT_EQ(unplanned, std::vector<std::string>()) << road.what << "\n" << json;
  }
}

}  // namespace
