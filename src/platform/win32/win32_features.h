#pragma once

#include "platform/features.h"

struct HINSTANCE__;

// The DISM API, with DismApi.dll loaded from the system folder on first use (never a static import, so
// the program starts where DISM is missing, and never from the program's own folder, where a planted
// library would run with the setup's rights).
class Win32Features final : public Features {
 public:
  Win32Features() = default;
  Win32Features(const Win32Features&) = delete;
  Win32Features& operator=(const Win32Features&) = delete;
  ~Win32Features() override;

  std::int32_t Initialize(std::int32_t logLevel) override;
  std::int32_t OpenSession(std::u16string_view imagePath, FeatureSession& session) override;
  std::int32_t EnableFeature(FeatureSession session, std::u16string_view featureNames, bool limitAccess,
                             bool enableAll, const Progress& progress) override;
  std::int32_t CloseSession(FeatureSession session) override;
  std::int32_t Shutdown() override;

 private:
  // The entry point of the library, loading it first; nullptr with `status` the loader's error.
  void* Entry(const char* name, std::int32_t& status);

  HINSTANCE__* library_ = nullptr;
  std::int32_t loadStatus_ = 0;
};
