#include "platform/win32/win32_features.h"

#include <windows.h>

#include <dismapi.h>

#include <array>
#include <atomic>
#include <string>

#include "platform/win32/answering_wait.h"
#include "platform/win32/unique_handle.h"

namespace {

using InitializeCall = HRESULT(WINAPI*)(DismLogLevel, PCWSTR, PCWSTR);
using OpenSessionCall = HRESULT(WINAPI*)(PCWSTR, PCWSTR, PCWSTR, DismSession*);
using EnableFeatureCall = HRESULT(WINAPI*)(DismSession, PCWSTR, PCWSTR, DismPackageIdentifier, BOOL, PCWSTR*,
                                           UINT, BOOL, HANDLE, DISM_PROGRESS_CALLBACK, PVOID);
using CloseSessionCall = HRESULT(WINAPI*)(DismSession);
using ShutdownCall = HRESULT(WINAPI*)();

// DISM may report progress from a thread of its own. The callback only leaves the latest figure here and
// signals the thread that asked, which hands it to the progress function on its own thread: a dialog
// touched from another thread would wait on the asking thread, itself waiting on DISM. DISM is called
// with no user data, so the callback reaches the running request through this pointer; DISM runs one
// request of the process at a time.
struct ProgressMailbox {
  std::atomic<std::uint64_t> figure{kNoFigure};
  HANDLE arrived = nullptr;  // auto-reset event
  static constexpr std::uint64_t kNoFigure = UINT64_MAX;
};
std::atomic<ProgressMailbox*> runningMailbox{nullptr};

void CALLBACK ForwardProgress(UINT current, UINT total, PVOID /*userData*/) {
  ProgressMailbox* mailbox = runningMailbox.load();
  if (mailbox != nullptr) {
    mailbox->figure.store((std::uint64_t{current} << 32U) | total);
    SetEvent(mailbox->arrived);
  }
}

// Hands the latest figure, if one arrived since the last, to the progress function.
void Deliver(ProgressMailbox& mailbox, const Features::Progress& progress) {
  const std::uint64_t figure = mailbox.figure.exchange(ProgressMailbox::kNoFigure);
  if (figure != ProgressMailbox::kNoFigure && progress) {
    progress(static_cast<std::uint32_t>(figure >> 32U), static_cast<std::uint32_t>(figure));
  }
}

// DismEnableFeature's arguments and result, for the thread that makes the call.
struct EnableRequest {
  EnableFeatureCall call;
  DismSession session;
  std::wstring names;
  BOOL limitAccess;
  BOOL enableAll;
  HRESULT status = E_FAIL;
};

DWORD WINAPI RunEnableRequest(LPVOID parameter) {
  auto* request = static_cast<EnableRequest*>(parameter);
  request->status =
      request->call(request->session, request->names.c_str(), nullptr, DismPackageNone, request->limitAccess,
                    nullptr, 0, request->enableAll, nullptr, ForwardProgress, nullptr);
  return 0;
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
  EnableRequest request{As<EnableFeatureCall>(entry), static_cast<DismSession>(session),
                        Terminated(featureNames), limitAccess ? TRUE : FALSE, enableAll ? TRUE : FALSE};
  const unique_kernel_handle arrived(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!arrived) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  ProgressMailbox mailbox;
  mailbox.arrived = arrived.get();
  runningMailbox.store(&mailbox);
  // The request runs on a thread of its own; this thread hands on the progress and keeps its windows
  // answering (WaitAnswering) until the request has ended.
  const unique_kernel_handle worker(CreateThread(nullptr, 0, RunEnableRequest, &request, 0, nullptr));
  if (!worker) {
    runningMailbox.store(nullptr);
    return HRESULT_FROM_WIN32(GetLastError());
  }
  const std::array<HANDLE, 2> waits = {worker.get(), arrived.get()};
  for (;;) {
    const DWORD woken = WaitAnswering(waits.data(), static_cast<DWORD>(waits.size()), INFINITE);
    if (woken == WAIT_OBJECT_0 + 1) {
      Deliver(mailbox, progress);
    } else {
      // The request has ended (or the wait failed, and the request is waited for without the mailbox).
      WaitAnswering(waits.data(), 1, INFINITE);
      break;
    }
  }
  runningMailbox.store(nullptr);
  Deliver(mailbox, progress);  // the last figure
  return request.status;
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
