#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/features.h"

// DISM on the fake machine: every call is recorded in order as one line ("DismInitialize 2",
// "DismOpenSession <image>", "DismEnableFeature <session> <names> limitAccess=0 enableAll=1",
// "DismCloseSession <session>", "DismShutdown"); each call answers the status the test set for its name
// (S_OK otherwise), and a feature request reports the scripted progress before it returns.
class FakeFeatures final : public Features {
 public:
  std::int32_t Initialize(std::int32_t logLevel) override;
  std::int32_t OpenSession(std::u16string_view imagePath, FeatureSession& session) override;
  std::int32_t EnableFeature(FeatureSession session, std::u16string_view featureNames, bool limitAccess,
                             bool enableAll, const Progress& progress) override;
  std::int32_t CloseSession(FeatureSession session) override;
  std::int32_t Shutdown() override;

  // Set by the test: the status of a call by its DISM name, and the progress reports of a request.
  std::map<std::string, std::int32_t> statuses;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> progressReports;
  // The session an opening hands out.
  FeatureSession nextSession = FeatureSession{7};

  std::vector<std::string> calls;
  // The feature names of the last request, as DISM received them.
  std::u16string requestedFeatures;

 private:
  std::int32_t Answer(const std::string& name, const std::string& line);
};
