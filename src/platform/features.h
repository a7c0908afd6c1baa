#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// A DISM session (DismSession); `none` is the value of a session that was never opened.
enum class FeatureSession : std::uint32_t { none = 0 };

// The DISM API of the running Windows (DismApi.dll), reached when first used: where the library is
// missing every call fails with the loader's error. Results are the HRESULTs of the calls.
class Features {
 public:
  // DISM's log level DismLogErrorsWarningsInfo.
  static constexpr std::int32_t kLogErrorsWarningsInfo = 2;
  // The image path that names the running Windows (DISM_ONLINE_IMAGE).
  static constexpr std::u16string_view kOnlineImage = u"DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845}";
  // ERROR_SUCCESS_REBOOT_REQUIRED as a success status: the change takes effect after a restart.
  static constexpr std::int32_t kRestartRequired = 3010;

  // DISM's progress callback: the current and the total count.
  using Progress = std::function<void(std::uint32_t current, std::uint32_t total)>;

  Features() = default;
  Features(const Features&) = delete;
  Features& operator=(const Features&) = delete;
  virtual ~Features() = default;

  // DismInitialize with the log level, DISM's default log file and no scratch directory.
  virtual std::int32_t Initialize(std::int32_t logLevel) = 0;
  // DismOpenSession on the image path, with no Windows directory and no system drive.
  virtual std::int32_t OpenSession(std::u16string_view imagePath, FeatureSession& session) = 0;
  // DismEnableFeature of the ";"-separated names: no identifier, package identifier DismPackageNone, no
  // source paths, no cancel event and no user data. DISM works on a thread of its own while the calling
  // thread keeps its windows painted; the progress function is called on the calling thread alone, with
  // the latest of DISM's reports (reports that arrive together are handed on as the last of them, and the
  // last report always reaches it).
  virtual std::int32_t EnableFeature(FeatureSession session, std::u16string_view featureNames,
                                     bool limitAccess, bool enableAll, const Progress& progress) = 0;
  // DismCloseSession (also of `none`).
  virtual std::int32_t CloseSession(FeatureSession session) = 0;
  // DismShutdown.
  virtual std::int32_t Shutdown() = 0;
};
