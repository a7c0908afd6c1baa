#include "steps/download/package_download.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "core/leading_number.h"
#include "product/setup_log.h"
#include "product/setup_state.h"
#include "setup_world.h"
#include "steps/download/http_session.h"
#include "test_cabinets.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kHost[] = "downloads.example";

struct DownloadWorld : SetupWorld {
  DownloadWorld() {
    state.startDirectory = "C:\\";
    state.downloadHost = kHost;
    state.choices.clientDirectory = "C:\\App\\";
    steps.client.updateDirectory = "C:\\App\\Update";
    steps.server.updateDirectory = "C:\\Srv\\Update";
    steps.server.cabDirectory = "C:\\Srv\\cab";
    for (const char* folder : {"C:\\App\\Update", "C:\\Srv\\Update", "C:\\Srv\\cab"}) {
      fake.files.AddDirectory(folder);
    }
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
  }
  std::string Log() {
    CloseLog(state);
    return fake.files.Content(kLogPath).value_or("");
  }
};

TEST(HttpSession, OpensWithOrWithoutTheNamedProxy) {
  struct Case {
    const char* proxy;
    bool fails;
    std::uint32_t access;
    const char* log;
  };
  for (const Case& c : {
           Case{"", false, Http::kAccessNoProxy,
                "Server Setup:Establishing Session\r\nServer Setup:Established Session without Proxy:\r\n"},
           Case{"   ", true, Http::kAccessNoProxy,
                "Server Setup:Establishing Session\r\nServer Setup:Failed Establishing Session without "
                "Proxy:\r\n"},
           Case{"proxy.example:8080", false, Http::kAccessNamedProxy,
                "Server Setup:Establishing Session\r\nServer Setup:Established Session with "
                "Proxy:;proxy.example:8080\r\n"},
           Case{"proxy.example:8080", true, Http::kAccessNamedProxy,
                "Server Setup:Establishing Session\r\nServer Setup:Failed Establishing Session with "
                "Proxy:;proxy.example:8080\r\n"},
       }) {
    SetupWorld world;
    FakeMachine& fake = world.fake;
    SetupState& state = world.state;
    state.startDirectory = "C:\\";
    fake.http.sessionFails = c.fails;
    OpenHttpSession(state, c.proxy);
    CloseLog(state);
    EXPECT_EQ(fake.files.Content(kLogPath), c.log) << c.proxy;
    ASSERT_EQ(fake.http.sessions.size(), 1U);
    EXPECT_EQ(fake.http.sessions[0].userAgent, u"Halvorn Nembric App v10.1");
    EXPECT_EQ(fake.http.sessions[0].accessType, c.access);
    EXPECT_EQ(fake.http.sessions[0].proxy.has_value(), c.access == Http::kAccessNamedProxy);
    EXPECT_EQ(state.httpSession == InternetHandle::none, c.fails);
    if (!c.fails) {
      EXPECT_EQ(fake.http.timeouts,
                (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                    {Http::kOptionConnectTimeout, 300000}, {Http::kOptionReceiveTimeout, 86400000}}));
    }
  }
}

// The detected named proxy goes with its bypass list (a typed one has none); an automatic configuration
// names the proxy of each request's URL, the package's and its digest's alike, and sends the others direct.
TEST(HttpSession, TheSystemsProxyReachesEveryRequest) {
  struct Case {
    ProxySettings system;
    const char* field;
    std::optional<std::u16string> sessionBypass;
    std::optional<std::u16string> requestProxy;
  };
  const ProxySettings named{u"proxy.corp:3128", u"<local>;*.corp", false, {}};
  const ProxySettings script{{}, {}, false, u"http://wpad.corp/proxy.pac"};
  const std::vector<Case> cases = {
      {named, "proxy.corp:3128", u"<local>;*.corp", std::nullopt},
      {named, "typed:8080", std::nullopt, std::nullopt},
      {script, "", std::nullopt, u"pac-proxy:8080"},
      {ProxySettings{{}, {}, true, {}}, "", std::nullopt, u"pac-proxy:8080"},
      {script, "typed:8080", std::nullopt, std::nullopt},  // a typed proxy wins
  };
  for (const Case& c : cases) {
    DownloadWorld world;
    world.state.systemProxy = c.system;
    world.fake.http.automaticProxies[u"https://downloads.example/downloads/Tools.bin"] = {
        u"pac-proxy:8080", u"<local>", false, {}};
    world.fake.http.Serve("Tools.bin", "MZ tool");
    OpenHttpSession(world.state, c.field);
    EXPECT_EQ(world.fake.http.sessions.back().bypass, c.sessionBypass) << c.field;
    world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0});
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin"), "MZ tool") << c.field;
    const auto& proxies = world.fake.http.requestProxies;
    const auto package = proxies.find(u"downloads/Tools.bin");
    EXPECT_EQ(package == proxies.end() ? std::nullopt : std::optional(package->second.first), c.requestProxy)
        << c.field;
    EXPECT_FALSE(proxies.contains(u"downloads/Tools.bin.sha256")) << c.field;  // the script sends it direct
    EXPECT_EQ(world.fake.http.proxyLookups.size(), c.requestProxy ? 2U : 0U) << c.field;
  }
  // A configuration that cannot be found is searched for once: the later requests go through the named
  // proxy beside it, as Windows goes on to it, or direct at once.
  for (const std::optional<std::u16string>& fallback :
       {std::optional<std::u16string>(), std::optional<std::u16string>(u"proxy.corp:3128")}) {
    DownloadWorld world;
    world.state.systemProxy = ProxySettings{fallback, {}, true, {}};
    world.fake.http.automaticFails = true;
    world.fake.http.Serve("Tools.bin", "MZ tool");
    OpenHttpSession(world.state, "");
    world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0});
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin"), "MZ tool");
    EXPECT_EQ(world.fake.http.proxyLookups.size(), 1U);
    const auto& proxies = world.fake.http.requestProxies;
    for (const char16_t* path : {u"downloads/Tools.bin", u"downloads/Tools.bin.sha256"}) {
      const auto set = proxies.find(path);
      EXPECT_EQ(set == proxies.end() ? std::nullopt : std::optional(set->second.first), fallback);
    }
  }
}

// A proxy that asks who the setup is (407) gets the logged-on user's Windows logon, by Negotiate where it
// takes it, else NTLM, and the request goes again; one that wants a name and password, or refuses the logon,
// is named in the log, and the package is not fetched.
TEST(HttpSession, AProxyThatAsksWhoTheSetupIsGetsTheWindowsLogon) {
  struct Case {
    std::uint32_t asks;
    bool takesLogon;
    bool fetched;
    std::vector<std::uint32_t> answers;  // the schemes of the logon answers, per request
    const char* refused;                 // the line, when the proxy cannot be satisfied
  };
  constexpr std::uint32_t kBoth = Http::kAuthNegotiate | Http::kAuthNtlm;
  const std::vector<Case> cases = {
      {kBoth, true, true, {Http::kAuthNegotiate, Http::kAuthNegotiate}, nullptr},
      {Http::kAuthNtlm | Http::kAuthBasic, true, true, {Http::kAuthNtlm, Http::kAuthNtlm}, nullptr},
      {Http::kAuthBasic, true, false, {}, "The proxy asks for credentials the setup cannot give: Basic"},
      {kBoth,
       false,
       false,
       {Http::kAuthNegotiate},
       "The proxy asks for credentials the setup cannot give: Negotiate, NTLM"},
  };
  for (const Case& c : cases) {
    DownloadWorld world;
    world.fake.http.proxyAsks = c.asks;
    world.fake.http.proxyTakesLogon = c.takesLogon;
    world.fake.http.Serve("Tools.bin", "MZ tool");
    world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0});
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin") == "MZ tool", c.fetched) << c.asks;
    const std::vector<std::uint32_t> answers(
        world.fake.http.logonAnswers.begin(),
        world.fake.http.logonAnswers.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                   world.fake.http.logonAnswers.size(), c.answers.size())));
    EXPECT_EQ(answers, c.answers) << c.asks;
    const std::string log = world.Log();
    EXPECT_EQ(log.find("The proxy asks for credentials"),
              c.refused == nullptr ? std::string::npos : log.find(c.refused))
        << log;
  }
}

TEST(ReportConnectFailure, ComposesTheLineFromWhatAndDetail) {
  struct Case {
    const char* what;
    const char* detail;
    const char* line;
  };
  for (const Case& c :
       {Case{"Server", "downloads.example",
             "Client Setup:Could not conact  Server:Server->downloads.example \r\n"},
        Case{"Url", "downloads/x.cab", "Client Setup:Could not conact Url->downloads/x.cab \r\n"},
        Case{"", "", "Client Setup:Could not conact \r\n"},
        Case{" ", "detail", "Client Setup:Could not conact detail \r\n"}}) {
    SetupWorld world;
    FakeMachine& fake = world.fake;
    SetupState& state = world.state;
    state.startDirectory = "C:\\";
    EXPECT_EQ(ReportConnectFailure(state, c.what, c.detail), 0);
    CloseLog(state);
    EXPECT_EQ(fake.files.Content(kLogPath), c.line) << c.what;
  }
}

TEST(DownloadClientPackage, FetchesWithTheRequestFormAndSavesTheWholeBody) {
  DownloadWorld world;
  // Arriving in small pieces, as a network delivers it: short reads are no end.
  std::string body(50000, 'x');
  body.replace(0, 5, std::string("MZ\0\0\0", 5));
  body.replace(30000, 3, "404");  // a package is never looked into beyond its first NUL
  world.fake.http.Serve("Tools.bin", body);
  world.fake.http.piece = 1000;
  EXPECT_TRUE(world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0}));

  EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin"), body);
  EXPECT_EQ(world.Log(),
            "Client Setup:Getting Tools.bin from server\r\n"
            "Client Setup:Downloading;downloads.example;downloads/Tools.bin\r\n"
            "Client Setup:Downloaded;downloads.example;downloads/Tools.bin\r\n");
  ASSERT_EQ(world.fake.http.connects.size(), 1U);
  EXPECT_EQ(world.fake.http.connects[0],
            (std::pair<std::u16string, std::uint16_t>{u"downloads.example", 443}));
  ASSERT_EQ(world.fake.http.PackageRequests().size(), 1U);
  EXPECT_EQ(world.fake.http.PackageRequests()[0].verb, u"GET");
  EXPECT_EQ(world.fake.http.PackageRequests()[0].objectPath, u"downloads/Tools.bin");
  EXPECT_EQ(world.fake.http.PackageRequests()[0].flags, 0x800100U);
  EXPECT_EQ(world.fake.http.PackageRequests()[0].headers, u"Accept: */*\r\n\r\n");
  // The body passes through one small buffer: a download holds at most a MiB of it at once.
  EXPECT_GT(world.fake.http.largestRead, 0U);
  EXPECT_LE(world.fake.http.largestRead, std::size_t{1} << 20);
  EXPECT_EQ(world.state.downloadServerName, kHost);
  EXPECT_EQ(world.fake.http.OpenHandles(), 1U);  // the session alone
  EXPECT_EQ(world.fake.files.OpenHandles(), 0U);
}

TEST(DownloadClientPackage, ARequestThatCannotBeOpenedEndsTheCall) {
  DownloadWorld world;
  world.fake.http.unopenablePaths.insert("downloads/Nembric10AppSetup.cab");
  EXPECT_FALSE(world.steps.client.DownloadClientPackage("Nembric10AppSetup.cab", PackageBits{0x40}));
  EXPECT_EQ(world.Log(),
            "Client Setup:Getting Nembric10AppSetup.cab from server\r\n"
            "Client Setup:Downloading;downloads.example;downloads/Nembric10AppSetup.cab\r\n"
            "Client Setup:Could not conact Url->downloads/Nembric10AppSetup.cab \r\n"
            "Client Setup:WinHTTP error 12005: text of 12005\r\n");
  EXPECT_EQ(world.fake.http.OpenHandles(), 1U);
}

// The server's error page, with status 404 or 200, in one piece or split across reads, or behind megabytes
// of leading text that no one read holds whole: the package is missing, the local file stays empty, nothing
// is processed and the call goes on with true.
TEST(DownloadClientPackage, AMissingPackageIsReportedOnce) {
  struct Case {
    std::uint32_t status;
    std::size_t piece;
    std::size_t leadingBlanks;
  };
  for (const Case& c :
       {Case{404, 65536, 0}, Case{200, 65536, 0}, Case{200, 10, 0}, Case{200, 1U << 24, 3U << 20}}) {
    DownloadWorld world;
    world.fake.http.files["downloads/Nembric10AppSetup.cab"] = {
        c.status, std::string(c.leadingBlanks, ' ') + FakeHttp::kErrorPage};
    world.fake.http.piece = c.piece;
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("Nembric10AppSetup.cab", PackageBits{0x40}));
    EXPECT_EQ(
        world.Log(),
        "Client Setup:Getting Nembric10AppSetup.cab from server\r\n"
        "Client Setup:Downloading;downloads.example;downloads/Nembric10AppSetup.cab\r\n"
        "Client Setup:Could not find Nembric10AppSetup.cab on server. Please contact you administrator\r\n")
        << c.status << " " << c.piece;
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Nembric10AppSetup.cab"), "");
    EXPECT_EQ(world.fake.http.PackageRequests().size(), 1U);
    EXPECT_EQ(world.fake.cabinet.copies, 0);
  }
}

TEST(DownloadClientPackage, FiveFailedExtractionsAreLoggedPlainly) {
  DownloadWorld world;
  world.fake.http.Serve("Nembric10AppSetup.cab", FakeCrypto::Signed("no cabinet at all"));
  EXPECT_TRUE(world.steps.client.DownloadClientPackage("Nembric10AppSetup.cab", PackageBits{0x40}));
  EXPECT_EQ(world.fake.http.PackageRequests().size(), 5U);
  std::string expected =
      "Client Setup:Getting Nembric10AppSetup.cab from server\r\n"
      "Client Setup:Downloading;downloads.example;downloads/Nembric10AppSetup.cab\r\n";
  for (int attempt = 0; attempt < 5; ++attempt) {
    expected += "Server Setup:Not valid cabinet\r\n";
  }
  expected += "Client Setup:Could not extract Nembric10AppSetup.cab after 5 attempts\r\n";
  EXPECT_EQ(world.Log(), expected);
}

// A package is checked against the digest its server publishes beside it before it is extracted: a
// package that does not match goes and counts as a failed attempt. Without a digest (none published, or a
// page that is none) the package is taken as it comes.
TEST(DownloadClientPackage, APackageIsCheckedAgainstItsPublishedDigest) {
  // sha256sum of the body "cabinet bytes".
  const std::string digest = "2f9b2c4c5c4d1e1b4e7f0c1bd5d8c2f8d0b1e4bcb53b0d8b44f2d13a34b5f0d0";
  struct Case {
    std::optional<std::string> published;
    bool refused;
  };
  for (const Case& c : {Case{std::nullopt, false}, Case{"<html>404 Not Found</html>", false},
                        Case{"__MATCH__  Tools.cab\n", false}, Case{"__MATCH_UPPER__", false},
                        Case{digest + "  Tools.cab\n", true}, Case{"__MATCH__x", false}}) {
    DownloadWorld world;
    const std::string package = FakeCrypto::Signed("cabinet bytes");
    world.fake.http.Serve("Tools.cab", package);
    // The digest of the body as the host computes it, to publish the matching one.
    const auto hash = world.fake.crypto.CreateSha256();
    hash->Add(package.data(), static_cast<std::uint32_t>(package.size()));
    const std::optional<Sha256Hash::Digest> bytes = hash->Finish();
    ASSERT_TRUE(bytes);
    std::string actual;
    for (const std::uint8_t byte : *bytes) {
      constexpr char kHex[] = "0123456789abcdef";
      actual += kHex[byte >> 4U];
      actual += kHex[byte & 0xFU];
    }
    ASSERT_NE(actual, digest);
    if (c.published) {
      std::string body = *c.published;
      if (body.starts_with("__MATCH_UPPER__")) {
        body = actual;
        for (char& ch : body) {
          ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
      } else if (body.starts_with("__MATCH__")) {
        body = actual.append(body, 9);
      }
      world.fake.http.Serve("Tools.cab.sha256", body);
    }
    int processed = 0;
    bool done = false;
    EXPECT_TRUE(DownloadPackage(world.state,
                                {LogTag::client,
                                 "Tools.cab",
                                 "C:\\App\\Update",
                                 "Downloading",
                                 "Downloaded",
                                 false,
                                 {"extract",
                                  [&processed] {
                                    ++processed;
                                    return ActionResult::Done();
                                  }}},
                                done));
    const bool takesADigest =
        c.published && !c.published->starts_with("<html>") && *c.published != "__MATCH__x";
    EXPECT_EQ(done, !c.refused) << *c.published;
    EXPECT_EQ(processed, c.refused ? 0 : 1);
    EXPECT_EQ(world.fake.http.PackageRequests().size(), c.refused ? 5U : 1U);
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.cab"),
              c.refused ? std::nullopt : std::optional<std::string>(package));
    const std::string log = world.Log();
    if (c.refused) {
      std::string expected =
          "Client Setup:Getting Tools.cab from server\r\nClient "
          "Setup:Downloading;downloads.example;downloads/Tools.cab\r\n";
      for (int attempt = 0; attempt < 5; ++attempt) {
        expected += "Client Setup:Download of Tools.cab does not match its published SHA-256 digest\r\n";
      }
      EXPECT_EQ(log, expected + "Client Setup:Could not extract Tools.cab after 5 attempts\r\n");
      EXPECT_TRUE(world.fake.runtime.pauses.empty());
    } else {
      EXPECT_TRUE(log.ends_with("Client Setup:Downloaded;downloads.example;downloads/Tools.cab\r\n")) << log;
    }
    // One hash here, one for each package checked against a digest, and one for each key of the signer's
    // chain up to the pinned one.
    EXPECT_EQ(world.fake.crypto.created, 1 + (takesADigest ? (c.refused ? 5 : 1) : 0) + (c.refused ? 0 : 2));
  }
}

TEST(DownloadClientPackage, ExtractsACabinetIntoTheClientDirectory) {
  DownloadWorld world;
  world.fake.http.Serve("Large.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
  world.state.choices.clientDirectory = "C:\\App";  // one backslash is added for the extraction
  EXPECT_TRUE(world.steps.client.DownloadClientPackage("Large.cab", PackageBits{0x40}));
  EXPECT_EQ(world.fake.files.Content("C:\\App\\large.dat").value_or("").size(), 300000U);
  EXPECT_TRUE(world.Log().ends_with("Client Setup:Downloaded;downloads.example;downloads/Large.cab\r\n"));
}

TEST(DownloadClientPackage, ConnectionFailuresUseUpTheAttempts) {
  for (const bool sendFails : {true, false}) {
    DownloadWorld world;
    world.fake.http.serverDown = sendFails;
    world.fake.http.receiveFails = !sendFails;
    world.fake.http.Serve("Nembric10AppSetup.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("Nembric10AppSetup.cab", PackageBits{0x40}));
    std::string expected =
        "Client Setup:Getting Nembric10AppSetup.cab from server\r\n"
        "Client Setup:Downloading;downloads.example;downloads/Nembric10AppSetup.cab\r\n";
    const std::string error = sendFails ? "12029: text of 12029" : "12002: text of 12002";
    for (int attempt = 0; attempt < 5; ++attempt) {
      // The client does not report the send; the receive that follows fails and is reported, with what
      // WinHTTP met. What did not arrive whole is never extracted.
      expected +=
          "Client Setup:Could not conact  Server:Server->downloads.example \r\nClient Setup:WinHTTP error " +
          error + "\r\n";
    }
    expected += "Client Setup:Could not extract Nembric10AppSetup.cab after 5 attempts\r\n";
    EXPECT_EQ(world.Log(), expected) << sendFails;
    // Between attempts that met the network, pauses of 1, 2, 4 and 8 seconds.
    EXPECT_EQ(world.fake.runtime.pauses, (std::vector<std::uint32_t>{1000, 2000, 4000, 8000})) << sendFails;
  }
}

// A body that breaks off is kept in NAME.part; after a pause the next attempt asks for the rest with a
// range and appends it when the server answers 206, or starts over when it sends the whole body again.
// Either way the package arrives whole, under its own name, and is processed once.
TEST(DownloadClientPackage, ABrokenBodyIsResumedWhereItStopped) {
  for (const bool ranges : {true, false}) {
    DownloadWorld world;
    const std::string cabinet = FakeCrypto::Signed(ReadCabinet("large.cab"));
    const std::size_t half = cabinet.size() / 2;
    world.fake.http.files["downloads/Large.cab"] = {200, cabinet, half, 1, {}, {}};
    world.fake.http.ranges = ranges;
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("Large.cab", PackageBits{0}));

    ASSERT_EQ(world.fake.http.PackageRequests().size(), 2U) << ranges;
    const std::string from = std::to_string(half);
    EXPECT_EQ(world.fake.http.PackageRequests()[1].headers,
              u"Accept: */*\r\nRange: bytes=" + std::u16string(from.begin(), from.end()) + u"-\r\n\r\n")
        << ranges;
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Large.cab"), cabinet) << ranges;
    EXPECT_FALSE(world.fake.files.Content("C:\\App\\Update\\Large.cab.part").has_value()) << ranges;
    EXPECT_EQ(world.fake.files.Content("C:\\App\\large.dat").value_or("").size(), 300000U) << ranges;
    EXPECT_EQ(world.fake.cabinet.copies, 1)
        << ranges;  // the whole cabinet: what broke off is never extracted
    EXPECT_EQ(world.fake.runtime.pauses, std::vector<std::uint32_t>{1000}) << ranges;
    const std::string log = world.Log();
    EXPECT_NE(log.find("Client Setup:Download of Large.cab broke off after " + std::to_string(half) +
                       " bytes\r\nClient Setup:WinHTTP error 12030: text of 12030\r\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(log.ends_with("Client Setup:Downloaded;downloads.example;downloads/Large.cab\r\n")) << log;
  }
}

// A body whose connection breaks right after its last byte leaves a part that holds it all: the range for
// the rest is turned down (416), and the next attempt asks for the whole package again.
TEST(DownloadClientPackage, ARangeTurnedDownStartsOver) {
  DownloadWorld world;
  world.fake.http.files["downloads/Tools.bin"] = {200, "MZ whole tool", 13, 1};
  EXPECT_TRUE(world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0}));
  ASSERT_EQ(world.fake.http.PackageRequests().size(), 3U);
  EXPECT_EQ(world.fake.http.PackageRequests()[1].headers, u"Accept: */*\r\nRange: bytes=13-\r\n\r\n");
  EXPECT_EQ(world.fake.http.PackageRequests()[2].headers, u"Accept: */*\r\n\r\n");
  EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin"), "MZ whole tool");
  EXPECT_EQ(world.fake.runtime.pauses, (std::vector<std::uint32_t>{1000, 2000}));
  EXPECT_NE(
      world.Log().find("Client Setup:Download of Tools.bin was refused by the server with status 416\r\n"),
      std::string::npos);
}

// A package beyond 4 GiB: its Content-Length is read whole, so a body that ends after 13 bytes is no whole
// package (a length cut to 32 bits would be 13 and take it).
TEST(DownloadClientPackage, AContentLengthBeyondFourGiBIsReadWhole) {
  DownloadWorld world;
  FakeHttp::Response response{200, "MZ whole tool"};
  response.declaredLength = (std::uint64_t{1} << 32U) + 13;
  world.fake.http.files["downloads/Tools.bin"] = response;
  world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0});
  EXPECT_GT(world.fake.http.PackageRequests().size(), 1U);
  EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin").value_or(""), "");
}

// A numeric header counts only when it is a whole decimal number that fits 64 bits.
TEST(DecimalNumber, TakesOnlyAWholeNumber) {
  EXPECT_EQ(DecimalNumber(std::u16string_view(u"4294967309")), (std::uint64_t{1} << 32U) + 13);
  EXPECT_EQ(DecimalNumber(std::u16string_view(u"9999999999999999999")), 9999999999999999999ULL);
  for (const char16_t* text : {u"", u" 12", u"-1", u"+1", u"12a", u"1 2", u"10000000000000000000"}) {
    EXPECT_EQ(DecimalNumber(std::u16string_view(text)), std::nullopt);
  }
}

// A busy server (503) is asked again after the pause it names, a minute at most, or the next pause of the
// schedule when it names none; its page is kept nowhere.
TEST(DownloadClientPackage, ABusyServerIsAskedAgainAfterItsPause) {
  struct Case {
    std::optional<std::uint32_t> retryAfter;
    std::uint32_t pause;
  };
  for (const Case& c : {Case{7, 7000}, Case{600, 60000}, Case{std::nullopt, 1000}}) {
    DownloadWorld world;
    world.fake.http.files["downloads/Tools.bin"] = {200, "MZ tools", SIZE_MAX, INT_MAX, 1, c.retryAfter};
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("Tools.bin", PackageBits{0}));
    EXPECT_EQ(world.fake.runtime.pauses, std::vector<std::uint32_t>{c.pause});
    EXPECT_EQ(world.fake.files.Content("C:\\App\\Update\\Tools.bin"), "MZ tools");
    EXPECT_NE(
        world.Log().find("Client Setup:Download of Tools.bin was refused by the server with status 503\r\n"),
        std::string::npos);
  }
}

TEST(DownloadClientPackage, RunsARuntimeInstallerAndJudgesItsExitCode) {
  for (const std::uint32_t exitCode : {0U, 3010U, 1U}) {
    DownloadWorld world;
    world.fake.http.Serve("vcredist_x64.exe", FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    world.fake.processes.AddProgram("C:\\App\\Update\\vcredist_x64.exe", {exitCode, nullptr, false, {}});
    EXPECT_TRUE(world.steps.client.DownloadClientPackage("vcredist_x64.exe", PackageBits::runtime2013));
    EXPECT_EQ(world.fake.processes.starts.size(), exitCode == 1 ? 5U : 1U) << exitCode;
    EXPECT_EQ(world.fake.dialogs.messageBoxes.size(), exitCode == 1 ? 5U : 0U) << exitCode;
    EXPECT_EQ(world.state.restartNeeded, exitCode == 3010) << exitCode;
    EXPECT_TRUE(world.fake.runtime.pauses.empty()) << exitCode;  // a whole package: tried again at once
  }
}

TEST(DownloadServerPackage, KeepsItsTagsFolderAndReportsTheSend) {
  DownloadWorld world;
  world.fake.http.Serve("HNbx.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
  EXPECT_TRUE(
      world.steps.server.DownloadServerPackage("HNbx.cab", PackagePlace::updateFolder, PackageBits{0x4}));
  EXPECT_EQ(world.Log(),
            "Server Setup:Getting HNbx.cab from server\r\n"
            "Server Setup:Downloading ;downloads.example;downloads/HNbx.cab\r\n"
            "Server Setup:Extracting;HNbx.cab\r\n"
            "Server Setup:Downloaded ;downloads.example;downloads/HNbx.cab\r\n");
  EXPECT_TRUE(world.fake.files.Content("C:\\Srv\\Update\\large.dat").has_value());

  DownloadWorld down;
  down.fake.http.serverDown = true;
  down.fake.http.Serve("HNembricAI1.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
  EXPECT_TRUE(down.steps.server.DownloadServerPackage("HNembricAI1.cab", PackagePlace::cabinetFolder,
                                                      PackageBits{0x8}));
  const std::string log = down.Log();
  const std::string line = "Client Setup:Could not conact  Server:Server->downloads.example \r\n";
  std::size_t count = 0;
  for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 10U);  // the failed send and the failed receive of each of the five attempts
  EXPECT_TRUE(down.fake.files.Content("C:\\Srv\\cab\\HNembricAI1.cab").has_value());
}

TEST(MissingPageScanner, LooksOnlyAtTheLeadingTextOfTheBody) {
  struct Case {
    std::vector<std::string> chunks;
    bool missing;
  };
  for (const Case& c : {Case{{"<h1>404 Not Found</h1>"}, true}, Case{{"<h1>40", "4</h1>"}, true},
                        Case{{"<h1>4", "0", "4"}, true},
                        Case{{std::string("MSCF\0"
                                          "404",
                                          8)},
                             false},
                        Case{{std::string("MZ\0", 3), "404"}, false},
                        Case{{"40", std::string("\0"
                                                "4",
                                                2)},
                             false},
                        Case{{"no such text"}, false}}) {
    MissingPageScanner scanner;
    bool missing = false;
    for (const std::string& chunk : c.chunks) {
      missing = scanner.Feed(chunk);
    }
    EXPECT_EQ(missing, c.missing) << c.chunks.size();
  }
}

}  // namespace

namespace {

TEST(DownloadStatusStore, RecordsTheServerPackagesOnlyWithKeyNames) {
  for (const bool named : {false, true}) {
    DownloadWorld world;
    if (named) {
      world.steps.downloadStatus.companyKeyName = "Halvorn";
      world.steps.downloadStatus.productKeyName = "NembricAI";
    }
    world.fake.registry.AddKey("HKLM\\Software");
    world.fake.http.Serve("HNbx.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
    world.fake.http.Serve("HNembricAI1.cab", FakeCrypto::Signed(ReadCabinet("large.cab")));
    EXPECT_TRUE(
        world.steps.server.DownloadServerPackage("HNbx.cab", PackagePlace::updateFolder, PackageBits{0x4}));
    EXPECT_TRUE(world.steps.server.DownloadServerPackage("HNembricAI1.cab", PackagePlace::cabinetFolder,
                                                         PackageBits{0x8}));
    const auto value =
        world.fake.registry.Value("HKLM\\Software\\Halvorn\\NembricAI\\Update", "DownloadStatus");
    if (named) {
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(value->data, std::string("0;12\0", 5));
      std::string status;
      EXPECT_TRUE(world.steps.downloadStatus.ReadDownloadStatus(status));
      EXPECT_EQ(status, "0;12");
      EXPECT_TRUE(world.steps.downloadStatus.WriteDownloadStatus(std::nullopt));
      EXPECT_FALSE(world.steps.downloadStatus.ReadDownloadStatus(status));
    } else {
      EXPECT_FALSE(world.fake.registry.HasKey("HKLM\\Software\\Halvorn"));
    }
    EXPECT_EQ(world.fake.registry.OpenKeys(), 0U);
  }
}

}  // namespace
