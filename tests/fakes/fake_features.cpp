#include "fake_features.h"

namespace {

std::string Narrow(std::u16string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace

std::int32_t FakeFeatures::Answer(const std::string& name, const std::string& line) {
  calls.push_back(name + line);
  const auto status = statuses.find(name);
  return status == statuses.end() ? 0 : status->second;
}

std::int32_t FakeFeatures::Initialize(std::int32_t logLevel) {
  return Answer("DismInitialize", " " + std::to_string(logLevel));
}

std::int32_t FakeFeatures::OpenSession(std::u16string_view imagePath, FeatureSession& session) {
  const std::int32_t status = Answer("DismOpenSession", " " + Narrow(imagePath));
  if (status >= 0) {
    session = nextSession;
  }
  return status;
}

std::int32_t FakeFeatures::EnableFeature(FeatureSession session, std::u16string_view featureNames,
                                         bool limitAccess, bool enableAll, const Progress& progress) {
  requestedFeatures = featureNames;
  for (const auto& [current, total] : progressReports) {
    progress(current, total);
  }
  return Answer("DismEnableFeature", " " + std::to_string(static_cast<std::uint32_t>(session)) + " " +
                                         Narrow(featureNames) + " limitAccess=" + (limitAccess ? "1" : "0") +
                                         " enableAll=" + (enableAll ? "1" : "0"));
}

std::int32_t FakeFeatures::CloseSession(FeatureSession session) {
  return Answer("DismCloseSession", " " + std::to_string(static_cast<std::uint32_t>(session)));
}

std::int32_t FakeFeatures::Shutdown() {
  return Answer("DismShutdown", "");
}
