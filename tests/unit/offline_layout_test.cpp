#include "steps/layout/offline_layout.h"

#include <gtest/gtest.h>

#include "plan/setup_plan.h"
#include "setup_world.h"
#include "steps/download/package_download.h"

namespace {

constexpr char kLayout[] = "C:\\Media";
constexpr char kPackages[] = "C:\\Media\\downloads\\";

struct LayoutWorld : SetupWorld {
  LayoutWorld() {
    state.startDirectory = "C:\\";
    state.downloadHost = "downloads.example";
    fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "the setup program");
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
  }
  // The package on the host, with the digest of `published` (its own bytes when not given) beside it.
  void Publish(const std::string& name, const std::string& body,
               const std::optional<std::string>& published = {}) {
    fake.http.Serve(name, body);
    fake.http.Serve(name + ".sha256", Digest(published.value_or(body)) + "  " + name + "\n");
  }
  std::string Digest(const std::string& bytes) {
    const auto hash = fake.crypto.CreateSha256();
    hash->Add(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    const std::optional<Sha256Hash::Digest> digest = hash->Finish();
    std::string text;
    for (const std::uint8_t byte : digest.value()) {
      constexpr char kHex[] = "0123456789abcdef";
      text += kHex[byte >> 4U];
      text += kHex[byte & 0xFU];
    }
    return text;
  }
  bool Build(const std::vector<std::string>& packages) {
    return BuildOfflineLayout(state, packages, kLayout, "C:\\Setup\\NembricSetup.exe");
  }
};

// Every package with its published digest into the layout's downloads folder, the list of digests beside
// them, the setup program above; a package that arrives broken, or has no digest, is not left there.
TEST(OfflineLayout, HoldsEveryPackageWithItsDigestAndNothingUnverified) {
  struct Case {
    const char* what;
    bool digestOfOther;
    bool noDigest;
  };
  for (const Case& c :
       {Case{"every package verified", false, false}, Case{"one package not as published", true, false},
        Case{"one package without a digest", false, true}}) {
    LayoutWorld world;
    world.Publish("NembricAiApp.cab", "client cabinet");
    if (c.noDigest) {
      world.fake.http.Serve("vcredist_x64.exe", "runtime");
    } else {
      world.Publish("vcredist_x64.exe", "runtime", c.digestOfOther ? "another runtime" : "runtime");
    }
    const bool complete = !c.digestOfOther && !c.noDigest;
    EXPECT_EQ(world.Build({"NembricAiApp.cab", "vcredist_x64.exe"}), complete) << c.what;
    EXPECT_EQ(world.fake.files.Content(std::string(kPackages) + "NembricAiApp.cab"), "client cabinet")
        << c.what;
    EXPECT_EQ(world.fake.files.Content(std::string(kPackages) + "vcredist_x64.exe"),
              complete ? std::optional<std::string>("runtime") : std::nullopt)
        << c.what;
    std::string list = world.Digest("client cabinet") + "  NembricAiApp.cab\n";
    if (complete) {
      list += world.Digest("runtime") + "  vcredist_x64.exe\n";
    }
    EXPECT_EQ(world.fake.files.Content(std::string(kPackages) + "SHA256SUMS"), list) << c.what;
    EXPECT_EQ(world.fake.files.Content("C:\\Media\\NembricSetup.exe"), "the setup program") << c.what;
    const std::string& output = world.fake.runtime.standardOutput;
    EXPECT_NE(output.find("NembricAiApp.cab fetched: 14 bytes in "), std::string::npos) << output;
    EXPECT_NE(output.find(complete ? "The layout is complete: 2 of 2 packages"
                                   : "The layout is not complete: 1 of 2 packages"),
              std::string::npos)
        << output;
  }
}

// A layout built again keeps what is there whole and fetches only what is missing or not as published.
TEST(OfflineLayout, ABuildAgainFetchesOnlyWhatIsMissingOrChanged) {
  LayoutWorld world;
  world.Publish("HNembricAI1.cab", "server cabinet");
  world.Publish("HNbx.cab", "box");
  world.Publish("sqlncli.msi", "native client");
  ASSERT_TRUE(world.Build({"HNembricAI1.cab", "HNbx.cab", "sqlncli.msi"}));
  world.fake.files.SetContent(std::string(kPackages) + "HNbx.cab", "box, one byte chan");
  world.fake.files.Remove(std::string(kPackages) + "sqlncli.msi");
  world.fake.http.requests.clear();
  ASSERT_TRUE(world.Build({"HNembricAI1.cab", "HNbx.cab", "sqlncli.msi"}));
  std::vector<std::u16string> fetched;
  for (const auto& request : world.fake.http.PackageRequests()) {
    fetched.push_back(request.objectPath);
  }
  EXPECT_EQ(fetched, (std::vector<std::u16string>{u"downloads/HNbx.cab", u"downloads/sqlncli.msi"}));
  EXPECT_EQ(world.fake.files.Content(std::string(kPackages) + "HNbx.cab"), "box");
  EXPECT_NE(world.fake.runtime.standardOutput.find("HNembricAI1.cab is in the layout already"),
            std::string::npos);
}

// A run with a layout as its source reads each package from it and uses it only when it is what the
// layout's SHA256SUMS lists; the lines are a download's, with the source in the host's place.
TEST(SourcePackage, IsReadFromTheLayoutAndUsedOnlyWhenItsDigestIsListed) {
  struct Case {
    const char* what;
    const char* onMedia;  // nullptr: not on the media
    bool listed;
    const char* line;  // the line after "Downloading", or the failure line
    bool used;
  };
  const Case cases[] = {
      {"as listed", "runtime", true, "Layout:Downloaded;C:\\Media;downloads/vcredist_x64.exe", true},
      {"one byte changed", "runtimf", true,
       "Layout:Download of vcredist_x64.exe does not match its published SHA-256 digest", false},
      {"not listed", "runtime", false,
       "Layout:vcredist_x64.exe has no SHA-256 digest in C:\\Media\\downloads\\SHA256SUMS: it is not used",
       false},
      {"unreadable (a share gone)", "runtime", true,
       "Layout:Download of vcredist_x64.exe could not be read from C:\\Media\\downloads", false},
      {"not on the media", nullptr, true,
       "Layout:Could not find vcredist_x64.exe on server. Please contact you administrator", false},
  };
  for (const Case& c : cases) {
    LayoutWorld world;
    world.fake.files.AddDirectory("C:\\App");
    world.state.packageSource = kLayout;
    if (c.onMedia) {
      world.fake.files.SetContent(std::string(kPackages) + "vcredist_x64.exe", FakeCrypto::Signed(c.onMedia));
    }
    if (std::string_view(c.what).starts_with("unreadable")) {
      world.fake.files.refusedPaths.insert(std::string(kPackages) + "vcredist_x64.exe");
    }
    world.fake.files.SetContent(
        std::string(kPackages) + "SHA256SUMS",
        c.listed ? world.Digest(FakeCrypto::Signed("runtime")) + "  VCREDIST_x64.exe\r\n" : "");
    int runs = 0;
    bool processed = false;
    EXPECT_TRUE(
        DownloadPackage(world.state,
                        {LogTag::layout, "vcredist_x64.exe", "C:\\App", "Downloading", "Downloaded", true,
                         Processing{"install",
                                    [&runs] {
                                      ++runs;
                                      return ActionResult::Done();
                                    }}},
                        processed));
    EXPECT_EQ(processed, c.used) << c.what;
    EXPECT_EQ(runs, c.used ? 1 : 0) << c.what;
    EXPECT_EQ(world.fake.files.Content("C:\\App\\vcredist_x64.exe"),
              c.used ? std::optional<std::string>(FakeCrypto::Signed("runtime")) : std::nullopt)
        << c.what;
    EXPECT_TRUE(world.fake.http.requests.empty()) << c.what;
    CloseLog(world.state);
    const std::string log = world.fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").value_or("");
    EXPECT_NE(log.find("Layout:Downloading;C:\\Media;downloads/vcredist_x64.exe\r\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find(std::string(c.line) + "\r\n"), std::string::npos) << c.what << "\n" << log;
  }
}

// What a layout holds: the packages of the choices, whatever the machine has; all of them without choices.
TEST(PlanLayoutPackages, HoldsWhatAnyMachineCouldNeed) {
  SetupChoices client;
  client.setupType = SetupType::client;
  client.bitSize = BitSize::aiClient;
  EXPECT_EQ(PlanLayoutPackages(client),
            (std::vector<std::string>{"VC_redist.x64.exe", "NembricAIAppSetup.cab"}));
  const std::vector<std::string> all = PlanLayoutPackages(std::nullopt);
  for (const char* name : {"Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab", "HNembricAI5.cab",
                           "HNbx.cab", "SQLEXPR_x64_ENU.exe", "NembricISSetup.msi", "sqlncli.msi"}) {
    EXPECT_EQ(std::count(all.begin(), all.end(), name), 1) << name;
  }
}

}  // namespace
