#include "steps/toolkit/runtime_check.h"

#include <gtest/gtest.h>

#include "product/setup_state.h"
#include "setup_world.h"

namespace {

constexpr char kKey2015In64[] = "HKLM\\SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char kKey2015In32[] =
    "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char kKey2013X64[] = "HKLM\\SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char kKey2013X86[] =
    "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";

std::string Dword(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return bytes;
}

// A machine whose registry the test fills as the redistributables would.
struct RuntimeWorld : SetupWorld {
  RuntimeWorld() { state.startDirectory = "C:\\"; }

  void Set(const char* key, const char* name, std::uint32_t type, std::string data) {
    fake.registry.AddKey(key);
    RegistryKey open = RegistryKey::none;
    const std::string path = std::string(key).substr(5);  // below HKLM
    fake.registry.OpenKey(RegistryKey::localMachine, path, Registry::kAllAccess, open);
    fake.registry.SetValue(open, name, RegistryValue{type, std::move(data)});
    fake.registry.CloseKey(open);
  }
  void Installed2015(const char* key, const char* version) {
    Set(key, "Installed", Registry::kTypeDword, Dword(1));
    if (version != nullptr) {
      Set(key, "Version", Registry::kTypeString, std::string(version) + '\0');
    }
  }
  void Numbers(const char* key, std::uint32_t major, std::uint32_t minor) {
    Set(key, "Major", Registry::kTypeDword, Dword(major));
    Set(key, "Minor", Registry::kTypeDword, Dword(minor));
    Set(key, "Bld", Registry::kTypeDword, Dword(32532));
    Set(key, "Rev", Registry::kTypeDword, Dword(0));
  }
  bool Check(RuntimeKind kind) {
    const bool install = CheckRuntimePrerequisite(state, kind);
    EXPECT_EQ(fake.registry.OpenKeys(), 0U) << "every key is closed";
    return install;
  }
  std::string Log() { return fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").value_or(""); }
};

TEST(ParseRuntimeVersion, SkipsTheFirstCharacterAndTakesExactlyFourGroups) {
  EXPECT_EQ(ParseRuntimeVersion("v14.20.27508.01"), (RuntimeVersion{14, 20, 27508, 1}));
  EXPECT_EQ(ParseRuntimeVersion("14.29.30133.00"), (RuntimeVersion{4, 29, 30133, 0}));
  EXPECT_EQ(ParseRuntimeVersion("v4294967296.0.0.0"), (RuntimeVersion{0, 0, 0, 0}));  // unsigned 32-bit wrap
  for (const char* bad : {"", "v", "v14.29.30133", "v14.29.30133.00.1", "v14..1.2", "v14.29.3013a.00",
                          "v14.29.30133.", "v.14.29.1.2", "v14 .29.1.2"}) {
    EXPECT_EQ(ParseRuntimeVersion(bad), std::nullopt) << bad;
  }
}

TEST(RuntimeCheck, Runtime2015DecidesByMajorAndMinor) {
  const std::pair<const char*, bool> cases[] = {
      {"v14.20.27508.01", false}, {"v14.19.28127.00", true}, {"v15.0.0.0", false},
      {"v13.99.0.0", true},       {"14.29.30133.00", true},  // read as major 4
  };
  for (const auto& [version, install] : cases) {
    RuntimeWorld world;
    world.Installed2015(kKey2015In64, version);
    EXPECT_EQ(world.Check(RuntimeKind::vc2015), install) << version;
    EXPECT_EQ(world.Log(), "Client Setup:Checking for Pre-requisite\r\n");
  }
}

TEST(RuntimeCheck, ARejectedVersionTextDoesNotFallBackToTheNumbers) {
  RuntimeWorld world;
  world.Installed2015(kKey2015In64, "v14.29.30133");
  world.Numbers(kKey2015In64, 14, 30);
  EXPECT_TRUE(world.Check(RuntimeKind::vc2015));
}

TEST(RuntimeCheck, NumbersAnswerWhenTheVersionIsNoText) {
  RuntimeWorld world;
  world.Installed2015(kKey2015In64, nullptr);
  world.Set(kKey2015In64, "Version", Registry::kTypeDword, Dword(14));
  world.Numbers(kKey2015In64, 14, 36);
  EXPECT_FALSE(world.Check(RuntimeKind::vc2015));
  std::int32_t installed = 0;
  RuntimeVersion version;
  EXPECT_TRUE(ReadRuntimeVersion(world.state, &installed, &version));
  EXPECT_EQ(installed, 1);
  EXPECT_EQ(version, (RuntimeVersion{14, 36, 32532, 0}));
}

TEST(RuntimeCheck, InstalledMustBeADwordOfOne) {
  RuntimeWorld world;
  world.Set(kKey2015In64, "Installed", Registry::kTypeString, std::string("1\0", 2));
  world.Set(kKey2015In64, "Version", Registry::kTypeString, std::string("v14.38.33135.00\0", 16));
  EXPECT_TRUE(world.Check(RuntimeKind::vc2015));
  RuntimeWorld none;
  EXPECT_TRUE(none.Check(RuntimeKind::vc2015));
  EXPECT_FALSE(ReadRuntimeVersion(none.state, nullptr, nullptr));  // no key in either view
}

TEST(RuntimeCheck, Runtime2015RegisteredInThe32BitViewIsFound) {
  RuntimeWorld world;
  world.Installed2015(kKey2015In32, "v14.38.33135.00");
  EXPECT_FALSE(world.Check(RuntimeKind::vc2015));
  // A 64-bit key that does not say installed does not hide it.
  RuntimeWorld both;
  both.Set(kKey2015In64, "Installed", Registry::kTypeDword, Dword(0));
  both.Installed2015(kKey2015In32, "v14.38.33135.00");
  EXPECT_FALSE(both.Check(RuntimeKind::vc2015));
}

TEST(RuntimeCheck, Runtime2013IsPresentInEitherKeyAndLogsNothing) {
  struct Case {
    const char* key;
    std::string installed;
    bool install;
  };
  const Case cases[] = {
      {kKey2013X64, Dword(1), false},
      {kKey2013X86, Dword(1), false},
      {kKey2013X64, Dword(0), true},
      {nullptr, "", true},
      {kKey2013X86, std::string("\x01", 1), false},  // any type, 4 bytes at most
  };
  for (const Case& c : cases) {
    RuntimeWorld world;
    if (c.key != nullptr) {
      world.Set(c.key, "Installed", Registry::kTypeString, c.installed);
    }
    EXPECT_EQ(world.Check(RuntimeKind::vc2013), c.install) << (c.key ? c.key : "no key");
    EXPECT_EQ(world.Log(), "");
  }
}

}  // namespace
