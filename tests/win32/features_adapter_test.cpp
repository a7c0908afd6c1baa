#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "adapter_test_paths.h"
#include "platform/win32/win32_features.h"

namespace {

std::string SystemPath(const char* name) {
  char directory[MAX_PATH] = {};
  GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\" + name;
}

// The tests' DISM API in the system folder, where the adapter looks for it, for the life of the object.
class InstalledDismApi {
 public:
  InstalledDismApi() {
    DeleteFileA(kLog);
    DeleteFileA(kFail);
    installed_ = CopyFileA((TestsDirectory() + "\\e2e\\DismApi.dll").c_str(),
                           SystemPath("DismApi.dll").c_str(), FALSE) != FALSE;
  }
  InstalledDismApi(const InstalledDismApi&) = delete;
  InstalledDismApi& operator=(const InstalledDismApi&) = delete;
  ~InstalledDismApi() {
    DeleteFileA(SystemPath("DismApi.dll").c_str());
    DeleteFileA(kFail);
  }
  bool installed() const { return installed_; }
  static constexpr char kLog[] = "C:\\NembricTest\\dism.log";
  static constexpr char kFail[] = "C:\\NembricTest\\dism.fail";

 private:
  bool installed_ = false;
};

// A DismApi.dll beside the program (planted where a downloaded setup runs) is never loaded.
TEST(Win32Features, WithoutDismApiInTheSystemFolderEveryCallFailsWithTheLoadersError) {
  DeleteFileA(SystemPath("DismApi.dll").c_str());
  const std::string planted = OwnDirectory() + "\\DismApi.dll";
  ASSERT_TRUE(CopyFileA((TestsDirectory() + "\\e2e\\DismApi.dll").c_str(), planted.c_str(), FALSE));
  Win32Features features;
  const auto notFound = static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  FeatureSession session = FeatureSession::none;
  EXPECT_EQ(features.Initialize(Features::kLogErrorsWarningsInfo), notFound);
  EXPECT_EQ(features.OpenSession(Features::kOnlineImage, session), notFound);
  EXPECT_EQ(features.EnableFeature(session, u"IIS-WebServer", false, true, {}), notFound);
  EXPECT_EQ(features.CloseSession(session), notFound);
  EXPECT_EQ(features.Shutdown(), notFound);
  DeleteFileA(planted.c_str());
}

TEST(Win32Features, PassesTheRequestToDismApiAndItsProgressBack) {
  const InstalledDismApi dism;
  ASSERT_TRUE(dism.installed());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;
  // DISM reports from a thread of its own: the progress reaches the caller on the caller's thread alone.
  const DWORD caller = GetCurrentThreadId();
  bool otherThread = false;
  {
    Win32Features features;
    FeatureSession session = FeatureSession::none;
    EXPECT_EQ(features.Initialize(Features::kLogErrorsWarningsInfo), S_OK);
    EXPECT_EQ(features.OpenSession(Features::kOnlineImage, session), S_OK);
    EXPECT_EQ(session, FeatureSession{1});
    EXPECT_EQ(features.EnableFeature(session, u"IIS-WebServer;IIS-ISAPIFilter", false, true,
                                     [&](std::uint32_t current, std::uint32_t total) {
                                       otherThread |= GetCurrentThreadId() != caller;
                                       reports.emplace_back(current, total);
                                     }),
              S_OK);
    EXPECT_EQ(features.CloseSession(session), S_OK);
    EXPECT_EQ(features.Shutdown(), S_OK);
  }
  EXPECT_FALSE(otherThread);
  // Reports that arrive together are handed on as the last of them; the last one always arrives.
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), (std::pair<std::uint32_t, std::uint32_t>{4, 4}));
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_EQ(ReadAll(InstalledDismApi::kLog),
            "DismInitialize level=2 log=null scratch=null\r\n"
            "DismOpenSession image=DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845} windows=null drive=null\r\n"
            "DismEnableFeature session=1 features=IIS-WebServer;IIS-ISAPIFilter identifier=null package=0 "
            "limitAccess=0 sources=null/0 enableAll=1 cancel=null progress=set user=null\r\n"
            "DismCloseSession session=1\r\n"
            "DismShutdown\r\n");
}

}  // namespace
