#include <array>

#include "core/blank_text.h"
#include "product/setup_state.h"
#include "steps/server/server_setup.h"

namespace {

constexpr char kConfigured[] = "Configured IIS for use with Halvorn Nembric 10.0";
constexpr char kNotConfigured[] = "Could not configure IIS. Please do it manually";

// The Windows features of IIS that the server module needs, in the order of the request. The list ends at
// the first empty or blank entry.
constexpr std::array<const char*, 16> kIisFeatures = {
    "IIS-ApplicationDevelopment",
    "IIS-CommonHttpFeatures",
    "IIS-DefaultDocument",
    "IIS-ISAPIExtensions",
    "IIS-ISAPIFilter",
    "IIS-WebServerManagementTools",
    "IIS-ManagementConsole",
    "IIS-NetFxExtensibility",
    "IIS-RequestFiltering",
    "IIS-Security",
    "IIS-StaticContent",
    "IIS-WebServer",
    "IIS-WebServerRole",
    "IIS-ASPNET45",
    "IIS-NetFxExtensibility45",
    " ",
};

}  // namespace

std::string IisFeatureRequest() {
  std::string request;
  for (const char* feature : kIisFeatures) {
    if (IsBlankText(feature)) {
      break;
    }
    if (!request.empty()) {
      request += ';';
    }
    request += feature;
  }
  return request;
}

void ServerSetup::EnableIisFeatures() {
  Features& features = state_.machine.features;
  state_.featureProgressPercent = 1;
  state_.reporter.Repaint(true);
  bool failed = true;
  FeatureSession session = FeatureSession::none;
  if (features.Initialize(Features::kLogErrorsWarningsInfo) >= 0 &&
      features.OpenSession(Features::kOnlineImage, session) >= 0) {
    const std::u16string request = state_.machine.runtime.Utf8ToWide(IisFeatureRequest()).value_or(u"");
    const std::int32_t status = features.EnableFeature(session, request, false, true,
                                                       [this](std::uint32_t current, std::uint32_t total) {
                                                         ReportFeatureProgress(state_, current, total);
                                                       });
    failed = status < 0;
    // Windows finishes the features after a restart; the run says so at its end, and restarts nothing.
    if (status == Features::kRestartRequired) {
      state_.restartNeeded = true;
    }
  }
  features.CloseSession(session);
  if (features.Shutdown() < 0) {
    failed = true;
  }
  WriteLog(state_, LogTag::server, failed ? kNotConfigured : kConfigured);
}
