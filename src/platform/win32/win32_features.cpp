#include "platform/win32/win32_features.h"

#include <windows.h>

#include <dismapi.h>

#include <string>

namespace {

using InitializeCall = HRESULT(WINAPI*)(DismLogLevel, PCWSTR, PCWSTR);
using OpenSessionCall = HRESULT(WINAPI*)(PCWSTR, PCWSTR, PCWSTR, DismSession*);
using EnableFeatureCall = HRESULT(WINAPI*)(DismSession, PCWSTR, PCWSTR, DismPackageIdentifier, BOOL, PCWSTR*,
                                           UINT, BOOL, HANDLE, DISM_PROGRESS_CALLBACK, PVOID);
using CloseSessionCall = HRESULT(WINAPI*)(DismSession);
using ShutdownCall = HRESULT(WINAPI*)();

// DISM is called with no user data, so its progress reaches the running request through this pointer;
// DISM runs one request of the process at a time.
const Features::Progress* runningProgress = nullptr;

void CALLBACK ForwardProgress(UINT current, UINT total, PVOID /*userData*/) {
  if (runningProgress != nullptr && *runningProgress) {
    (*runningProgress)(current, total);
  }
}

std::wstring Terminated(std::u16string_view text) {
  return {text.begin(), text.end()};
}

template <typename Call>
Call As(void* entry) {
  return reinterpret_cast<Call>(entry);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

}  // namespace

Win32Features::~Win32Features() {
  if (library_ != nullptr) {
    FreeLibrary(library_);
  }
}

void* Win32Features::Entry(const char* name, std::int32_t& status) {
  if (library_ == nullptr && loadStatus_ == 0) {
    library_ = LoadLibraryExW(L"DismApi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library_ == nullptr) {
      loadStatus_ = HRESULT_FROM_WIN32(GetLastError());
    }
  }
  if (library_ == nullptr) {
    status = loadStatus_;
    return nullptr;
  }
  auto* entry = reinterpret_cast<void*>(GetProcAddress(library_, name));  // NOLINT
  status = entry == nullptr ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
  return entry;
}

std::int32_t Win32Features::Initialize(std::int32_t logLevel) {
  std::int32_t status = 0;
  void* entry = Entry("DismInitialize", status);
  return entry == nullptr ? status
                          : As<InitializeCall>(entry)(static_cast<DismLogLevel>(logLevel), nullptr, nullptr);
}

std::int32_t Win32Features::OpenSession(std::u16string_view imagePath, FeatureSession& session) {
  std::int32_t status = 0;
  void* entry = Entry("DismOpenSession", status);
  if (entry == nullptr) {
    return status;
  }
  const std::wstring path = Terminated(imagePath);
  DismSession opened = 0;
  status = As<OpenSessionCall>(entry)(path.c_str(), nullptr, nullptr, &opened);
  session = static_cast<FeatureSession>(opened);
  return status;
}

std::int32_t Win32Features::EnableFeature(FeatureSession session, std::u16string_view featureNames,
                                          bool limitAccess, bool enableAll, const Progress& progress) {
  std::int32_t status = 0;
  void* entry = Entry("DismEnableFeature", status);
  if (entry == nullptr) {
    return status;
  }
  const std::wstring names = Terminated(featureNames);
  runningProgress = &progress;
  status = As<EnableFeatureCall>(entry)(static_cast<DismSession>(session), names.c_str(), nullptr,
                                        DismPackageNone, limitAccess ? TRUE : FALSE, nullptr, 0,
                                        enableAll ? TRUE : FALSE, nullptr, ForwardProgress, nullptr);
  runningProgress = nullptr;
  return status;
}

std::int32_t Win32Features::CloseSession(FeatureSession session) {
  std::int32_t status = 0;
  void* entry = Entry("DismCloseSession", status);
  return entry == nullptr ? status : As<CloseSessionCall>(entry)(static_cast<DismSession>(session));
}

std::int32_t Win32Features::Shutdown() {
  std::int32_t status = 0;
  void* entry = Entry("DismShutdown", status);
  return entry == nullptr ? status : As<ShutdownCall>(entry)();
}
