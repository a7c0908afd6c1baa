#include <gtest/gtest.h>

#include "product/setup_log.h"
#include "setup_world.h"
#include "steps/download/package_download.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kRuntime[] = "C:\\App\\Update\\VC_redist.x64.exe";

struct TrustWorld : SetupWorld {
  TrustWorld() {
    state.startDirectory = "C:\\";
    state.downloadHost = "downloads.example";
    state.choices.clientDirectory = "C:\\App\\";
    steps.client.updateDirectory = "C:\\App\\Update";
    fake.files.AddDirectory("C:\\App\\Update");
    state.record.scope = RecordScope::client;
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
  }
  std::string Log() {
    CloseLog(state);
    return fake.files.Content(kLogPath).value_or("");
  }
};

// Only a package whose Authenticode signature verifies, with a pinned key in its signer's chain, is started;
// any other is refused with a line naming it and why, and its component fails. A build without pins still
// checks the signature, and says once that it pins nothing.
TEST(PublisherCheck, OnlyAValidSignatureOfAPinnedPublisherIsStarted) {
  const std::string body = std::string("MZ\0\0runtime", 11);
  const std::string signedBody = FakeCrypto::Signed(body);
  std::string changed = signedBody;
  changed[3] = 'x';
  struct Case {
    const char* what;
    std::string served;
    bool pinned;
    bool started;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"the pinned publisher", signedBody, true, true, nullptr},
      {"unsigned", body, true, false, "Client Setup:Refused VC_redist.x64.exe: unsigned"},
      {"another authority's publisher",
       FakeCrypto::Signed(body, {FakeCrypto::kOtherKey, FakeCrypto::kOtherCaKey}), true, false,
       "Client Setup:Refused VC_redist.x64.exe: publisher not pinned"},
      {"changed after signing", changed, true, false,
       "Client Setup:Refused VC_redist.x64.exe: signature invalid (0x80096010)"},
      {"a root the machine does not trust",
       FakeCrypto::Signed(body, {FakeCrypto::kPublisherKey, "spki:rogue"}), true, false,
       "Client Setup:Refused VC_redist.x64.exe: signature invalid (0x800B0109)"},
      {"a revoked signer", "revoked", true, false,
       "Client Setup:Refused VC_redist.x64.exe: signature invalid (0x800B010C)"},
      {"revocation servers out of reach", "offline", true, true,
       "Client Setup:Could not check whether a certificate of the signature was revoked (the revocation "
       "servers cannot be reached); checked without it: VC_redist.x64.exe"},
      {"no pins, another authority's publisher",
       FakeCrypto::Signed(body, {FakeCrypto::kOtherKey, FakeCrypto::kOtherCaKey}), false, true,
       "Client Setup:Packages: publisher not pinned"},
      {"no pins, unsigned", body, false, false, "Client Setup:Refused VC_redist.x64.exe: unsigned"},
  };
  for (const Case& c : cases) {
    TrustWorld world;
    if (!c.pinned) {
      world.state.publisherPins.clear();
    }
    if (c.served == "revoked") {
      world.fake.crypto.revokedKeys = {FakeCrypto::kPublisherKey};
    }
    world.fake.crypto.revocationOffline = c.served == "offline";
    world.fake.http.Serve("VC_redist.x64.exe",
                          c.served == "revoked" || c.served == "offline" ? signedBody : c.served);
    world.fake.processes.AddProgram(kRuntime, {});
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("VC_redist.x64.exe", PackageBits::runtime2015));
    EXPECT_EQ(world.fake.processes.starts.size(), c.started ? 1U : 0U) << c.what;
    EXPECT_EQ(world.state.failed.client, !c.started) << c.what;
    // A refused package is not left where it was to run.
    EXPECT_EQ(world.fake.files.Content(kRuntime).has_value(), c.started) << c.what;
    const std::string log = world.Log();
    if (c.line != nullptr) {
      EXPECT_NE(log.find(std::string(c.line) + "\r\n"), std::string::npos) << c.what << "\n" << log;
    }
    EXPECT_EQ(log.find("Refused") != std::string::npos, !c.started) << c.what << "\n" << log;
    // The signature is read through the handle the package was checked with, never by its name alone.
    EXPECT_FALSE(world.fake.crypto.verifications.empty()) << c.what;
  }
}

// From its check until it has run, the package is held sharing read only: no other process can write it,
// delete it or put another file in its place, so the installer started is the file that was checked.
TEST(CheckedPackage, IsHeldFromItsCheckUntilItHasRun) {
  TrustWorld world;
  world.fake.http.Serve("VC_redist.x64.exe", FakeCrypto::Signed("MZ runtime"));
  bool written = true;
  bool deleted = true;
  bool replaced = true;
  world.fake.files.SetContent("C:\\Temp\\other.exe", "MZ other");
  world.fake.processes.AddProgram(
      kRuntime, {0,
                 [&] {
                   FakeFiles& files = world.fake.files;
                   const FileHandle file =
                       files.Create(kRuntime, Files::kGenericWrite, Files::kShareRead | Files::kShareWrite,
                                    Files::kOpenExisting, Files::kAttributeNormal);
                   written = file != FileHandle::invalid;
                   if (written) {
                     files.Close(file);
                   }
                   deleted = files.Remove(kRuntime);
                   replaced = files.Replace("C:\\Temp\\other.exe", kRuntime);
                 },
                 false,
                 {}});
  EXPECT_TRUE(world.steps.client.DownloadClientPackage("VC_redist.x64.exe", PackageBits::runtime2015));
  ASSERT_EQ(world.fake.processes.starts.size(), 1U);
  EXPECT_FALSE(written);
  EXPECT_FALSE(deleted);
  EXPECT_FALSE(replaced);
  // Once it has run, the package is let go.
  EXPECT_TRUE(world.fake.files.Remove(kRuntime));
}

// An installer that a cut-off run started may still run from its package: the package is waited for, a
// second at a time, while a process holds it, and ten minutes at the most; then the component fails with a
// line naming it, and nothing was fetched.
TEST(CheckedPackage, APackageAnotherProcessStillHoldsIsWaitedFor) {
  for (const bool letGo : {true, false}) {
    TrustWorld world;
    world.fake.http.Serve("VC_redist.x64.exe", FakeCrypto::Signed("MZ runtime"));
    world.fake.processes.AddProgram(kRuntime, {});
    world.fake.files.SetContent(kRuntime, "MZ runtime of the cut-off run");
    world.fake.files.heldOpen.insert(kRuntime);
    world.fake.runtime.paused = [&] {
      if (letGo && world.fake.runtime.pauses.size() == 3) {
        world.fake.files.heldOpen.clear();
      }
    };
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("VC_redist.x64.exe", PackageBits::runtime2015));
    EXPECT_EQ(world.fake.runtime.pauses, std::vector<std::uint32_t>(letGo ? 3U : 600U, 1000U)) << letGo;
    EXPECT_EQ(world.fake.processes.starts.size(), letGo ? 1U : 0U) << letGo;
    EXPECT_EQ(world.state.failed.client, !letGo) << letGo;
    EXPECT_EQ(world.fake.http.PackageRequests().empty(), !letGo) << letGo;
    EXPECT_EQ(
        world.Log().find("Client Setup:Could not replace VC_redist.x64.exe: another process still holds it "
                         "after ten minutes\r\n") != std::string::npos,
        !letGo)
        << letGo;
  }
}

}  // namespace
