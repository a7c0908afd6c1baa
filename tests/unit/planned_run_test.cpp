#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <regex>
#include <set>

#include "run_world.h"

namespace {

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
    const auto unescaped = [](const std::string& text) {
      return std::regex_replace(text, std::regex(R"(\\(.))"), "$1");
    };
    const std::string kind = (*it)[1];
    if (kind == "value") {
      targets.insert(Lowered(unescaped((*it)[5]) + "|" + unescaped((*it)[7])));
    } else if (kind == "key") {
      targets.insert(Lowered(unescaped((*it)[5])));
    } else if ((*it)[3].matched && (kind == "folder" || kind == "file" || kind == "package" ||
                                    kind == "shortcut" || kind == "installer" || kind == "msi")) {
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

// What the last run's lines in the record name: files and folders by path, keys as the registry editor
// shows them, values as "key|name", without case.
std::set<std::string> JournaledTargets(const std::string& record) {
  std::set<std::string> targets;
  const std::size_t mark = record.rfind("shared\trun\t");
  std::size_t start = mark == std::string::npos ? record.size() : mark;
  while (start < record.size()) {
    const std::size_t end = record.find("\r\n", start);
    std::vector<std::string> fields;
    const std::string line = record.substr(start, end - start);
    for (std::size_t at = 0; at <= line.size();) {
      const std::size_t tab = std::min(line.find('\t', at), line.size());
      fields.push_back(line.substr(at, tab - at));
      at = tab + 1;
    }
    start = end == std::string::npos ? record.size() : end + 2;
    const auto key = [&fields] {
      std::string path = fields[4];
      if (fields[3] == "512") {
        path.insert(9, "WOW6432Node\\");
      }
      return fields[2] + "\\" + path;
    };
    if (fields.size() >= 3 && (fields[1] == "file" || fields[1] == "folder")) {
      targets.insert(Lowered(fields[2]));
    } else if (fields.size() >= 5 && fields[1] == "key") {
      targets.insert(Lowered(key()));
    } else if (fields.size() >= 6 && fields[1] == "value") {
      targets.insert(Lowered(key() + "|" + fields[5]));
    }
  }
  return targets;
}

// The sites and pools of the information server's configuration: "site NAME", "pool NAME".
std::set<std::string> SitesAndPools(const std::string& dump) {
  std::set<std::string> found;
  const std::size_t pools = dump.find("<applicationPools>");
  const std::size_t poolsEnd = dump.find("</applicationPools>");
  const std::regex item(R"re(<(site|add) name="([^"]+)")re");
  for (auto it = std::sregex_iterator(dump.begin(), dump.end(), item); it != std::sregex_iterator(); ++it) {
    const auto at = static_cast<std::size_t>(it->position());
    const bool pool = (*it)[1] == "add" && pools != std::string::npos && at > pools && at < poolsEnd;
    if ((*it)[1] == "site" || pool) {
      found.insert((pool ? "pool " : "site ") + std::string((*it)[2]));
    }
  }
  return found;
}

// A plan changes nothing but its own file, and names every change of the run it plans: what the run adds
// to the machine, and what it removes, is among the plan's targets.
TEST(PlannedRun, NamesEveryChangeOfTheRunAndMakesNone) {
  const struct {
    const char* what;
    bool server;
    bool installedFirst;
    std::u16string switches;
  } roads[] = {
      {"client install", false, false, u"/answers=C:\\Setup\\answers.ini /source=localhost"},
      {"client repair", false, true, u"/repair /type=client /source=localhost"},
      {"client uninstall", false, true, u"/uninstall /type=client"},
      {"both install", true, false, u"/answers=C:\\Setup\\answers.ini /source=localhost"},
      {"both repair", true, true, u"/repair /type=both /source=localhost"},
      {"both uninstall", true, true, u"/uninstall /type=both"},
      {"client undo of its first install", false, true, u"/undo /type=client"},
  };
  for (const auto& road : roads) {
    RunWorld world;
    if (road.server) {
      world.PrepareServer();
    }
    if (road.installedFirst) {
      ASSERT_EQ(world.Run(u"/quiet " + std::u16string(u"/answers=C:\\Setup\\answers.ini /source=localhost")),
                0U)
          << road.what;
      world.AsInstalledProgram();
    }
    const std::vector<std::string> before = Dumped(world.fake);
    const std::string iisBefore = world.fake.iis.Dump();
    const std::set<std::string> targetsBefore = MachineTargets(world.fake);
    const std::size_t startsBefore = world.fake.processes.starts.size();
    ASSERT_EQ(world.Run(u"/plan=C:\\Setup\\plan.json " + road.switches), 0U) << road.what << world.Log();
    const std::string json = world.fake.files.Content("C:\\Setup\\plan.json").value_or("");
    world.fake.files.Remove("C:\\Setup\\plan.json");
    EXPECT_EQ(Dumped(world.fake), before) << road.what;
    EXPECT_EQ(world.fake.iis.Dump(), iisBefore) << road.what;
    EXPECT_EQ(world.fake.processes.starts.size(), startsBefore) << road.what;
    const std::set<std::string> planned = PlannedTargets(json);
    EXPECT_FALSE(planned.empty()) << road.what << json;

    // Every file the run has at any moment, the ones it makes and removes again among them.
    std::set<std::string> seen;
    world.fake.files.changed = [&world, &seen] {
      for (const std::string& path : world.fake.files.FilePaths()) {
        seen.insert(Lowered(path));
      }
    };
    ASSERT_EQ(world.Run(u"/quiet " + road.switches), 0U) << road.what << world.Log();
    world.fake.files.changed = nullptr;
    const std::set<std::string> targetsAfter = MachineTargets(world.fake);
    // Each site and pool the run made or removed is among the plan's information server changes.
    const std::set<std::string> sitesBefore = SitesAndPools(iisBefore);
    const std::set<std::string> sitesAfter = SitesAndPools(world.fake.iis.Dump());
    for (const std::set<std::string>* side : {&sitesBefore, &sitesAfter}) {
      for (const std::string& site : *side) {
        const bool changed = !sitesBefore.contains(site) || !sitesAfter.contains(site);
        const std::string kind = site.substr(0, site.find(' '));
        const std::string name = site.substr(site.find(' ') + 1);
        std::string entry = "\"kind\": \"";
        entry.append(kind)
            .append("\", \"path\": \"MACHINE/WEBROOT/APPHOST\", \"item\": \"")
            .append(name)
            .append("\"");
        EXPECT_TRUE(!changed || json.find(entry) != std::string::npos)
            << road.what << ": " << site << " is not planned\n"
            << json;
      }
    }
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
    // The record names each change before it is made: each it names is planned too.
    for (const std::string& target : JournaledTargets(world.fake.files.Content(kRecord).value_or(""))) {
      if (!planned.contains(target)) {
        unplanned.push_back("journaled " + target);
      }
    }
    EXPECT_EQ(unplanned, std::vector<std::string>()) << road.what << "\n" << json;
    // And the run made every change the plan names: each target is there now, was there before (replaced
    // or removed), or was there for a while (a part that became its package, the record's rewrite).
    std::vector<std::string> notMade;
    for (const std::string& target : planned) {
      if (!targetsAfter.contains(target) && !targetsBefore.contains(target) && !seen.contains(target)) {
        notMade.push_back(target);
      }
    }
    EXPECT_EQ(notMade, std::vector<std::string>()) << road.what;
    std::size_t made = 0;
    for (const std::string& target : targetsAfter) {
      made += targetsBefore.contains(target) ? 0U : 1U;
    }
    for (const std::string& target : targetsBefore) {
      made += targetsAfter.contains(target) ? 0U : 1U;
    }
    std::size_t changes = 0;
    for (std::size_t at = 0; (at = json.find("\"component\"", at)) != std::string::npos; ++at) {
      ++changes;
    }
    std::cout << road.what << ": " << changes << " changes planned (" << planned.size() << " targets), "
              << made << " left changed by the run, "
              << JournaledTargets(world.fake.files.Content(kRecord).value_or("")).size() << " journaled, "
              << unplanned.size() << " unplanned, " << notMade.size() << " planned and not made\n";
  }
}

// A plan whose run would fail says why in the log, after what the log held; the plan is still written.
TEST(PlannedRun, ARunThatWouldFailSaysWhyInTheLog) {
  RunWorld world;
  world.fake.files.SetContent(kLog, "User Interface:the last run's line\r\n");
  world.fake.files.SetContent(kAnswers, "[Setup]\nSetupType=Client\nBitSize=128 Bit\n");
  EXPECT_EQ(world.Run(u"/plan=C:\\Setup\\plan.json /answers=C:\\Setup\\answers.ini"), 87U);
  EXPECT_EQ(
      world.Log(),
      "User Interface:the last run's line\r\n"
      "User Interface:The planned run would end with exit code 87; its log:\r\n"
      "User Interface:Answer file C:\\Setup\\answers.ini, line 3, key BitSize: the value is not one of 64 "
      "Bit, AI Client, 32 Bit\r\n");
  // Refused before it changes anything, the run would write only its log.
  EXPECT_EQ(world.fake.files.Content("C:\\Setup\\plan.json"),
            "{\"changes\": [\r\n  {\"component\": \"shared\", \"kind\": \"file\", \"path\": "
            "\"C:\\\\Setup\\\\Halvorn NembricAI  Setup v10.1.3.Log\", \"replaces\": true}\r\n]}\r\n");
}

}  // namespace
