// The DISM API of the tests (DismApi.dll), for a Wine prefix, which has none. Each call appends one line
// with its arguments to C:\NembricTest\dism.log; a feature request reports its progress to the caller's
// callback in four steps. The call named in C:\NembricTest\dism.fail (first word) fails with the status
// written after it in hex (a DISM error when none is given); C:\NembricTest\dism.restart makes a feature
// request answer that a restart is required; with C:\NembricTest\dism.seconds a feature request takes that
// many seconds, as enabling IIS does.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using ProgressCallback = void(CALLBACK*)(UINT current, UINT total, PVOID userData);

constexpr char kControlFolder[] = "C:\\NembricTest\\";
constexpr HRESULT kFeatureUnknown = static_cast<HRESULT>(0x800F080CL);
constexpr HRESULT kRestartRequired = 3010;
constexpr UINT kSession = 1;

std::string Utf8(PCWSTR text) {
  if (text == nullptr) {
    return "null";
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), length, nullptr, nullptr);
  converted.resize(std::strlen(converted.c_str()));
  return converted;
}

const char* Set(const void* pointer) {
  return pointer == nullptr ? "null" : "set";
}

// Records the call and answers the status the test chose for it.
HRESULT Answer(const char* call, const std::string& arguments, HRESULT status = S_OK) {
  CreateDirectoryA(kControlFolder, nullptr);
  if (FILE* log = std::fopen((std::string(kControlFolder) + "dism.log").c_str(), "ab")) {
    std::fprintf(log, "%s%s\r\n", call, arguments.c_str());
    std::fclose(log);
  }
  if (FILE* fail = std::fopen((std::string(kControlFolder) + "dism.fail").c_str(), "rb")) {
    char name[64] = {};
    unsigned long failure = static_cast<unsigned long>(kFeatureUnknown);
    const int read = std::fscanf(fail, "%63s %lx", name, &failure);
    std::fclose(fail);
    if (read >= 1 && std::strcmp(name, call) == 0) {
      return static_cast<HRESULT>(failure);
    }
  }
  return status;
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI
    DismInitialize(int logLevel, PCWSTR logFilePath, PCWSTR scratchDirectory) {
  return Answer("DismInitialize", " level=" + std::to_string(logLevel) + " log=" + Utf8(logFilePath) +
                                      " scratch=" + Utf8(scratchDirectory));
}

__declspec(dllexport) HRESULT WINAPI
    DismOpenSession(PCWSTR imagePath, PCWSTR windowsDirectory, PCWSTR systemDrive, UINT* session) {
  const HRESULT status =
      Answer("DismOpenSession", " image=" + Utf8(imagePath) + " windows=" + Utf8(windowsDirectory) +
                                    " drive=" + Utf8(systemDrive));
  if (SUCCEEDED(status) && session != nullptr) {
    *session = kSession;
  }
  return status;
}

__declspec(dllexport) HRESULT WINAPI
    DismEnableFeature(UINT session, PCWSTR featureName, PCWSTR identifier, int packageIdentifier,
                      BOOL limitAccess, PCWSTR* sourcePaths, UINT sourcePathCount, BOOL enableAll,
                      HANDLE cancelEvent, ProgressCallback progress, PVOID userData) {
  // Like DISM, the stub reports its progress from a thread of its own while the caller waits.
  if (progress != nullptr) {
    struct Reports {
      ProgressCallback progress;
      PVOID userData;
    } reports{progress, userData};
    const HANDLE reporter = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          const auto* pending = static_cast<const Reports*>(parameter);
          for (UINT step = 0; step <= 4; ++step) {
            pending->progress(step, 4, pending->userData);
            Sleep(50);
          }
          return 0;
        },
        &reports, 0, nullptr);
    if (reporter != nullptr) {
      WaitForSingleObject(reporter, INFINITE);
      CloseHandle(reporter);
    }
  }
  if (FILE* seconds = std::fopen((std::string(kControlFolder) + "dism.seconds").c_str(), "rb")) {
    double wanted = 0;
    if (std::fscanf(seconds, "%lf", &wanted) == 1 && wanted > 0) {
      Sleep(static_cast<DWORD>(wanted * 1000));
    }
    std::fclose(seconds);
  }
  const DWORD restart = GetFileAttributesA((std::string(kControlFolder) + "dism.restart").c_str());
  return Answer("DismEnableFeature",
                " session=" + std::to_string(session) + " features=" + Utf8(featureName) +
                    " identifier=" + Utf8(identifier) + " package=" + std::to_string(packageIdentifier) +
                    " limitAccess=" + std::to_string(limitAccess) + " sources=" + Set(sourcePaths) + "/" +
                    std::to_string(sourcePathCount) + " enableAll=" + std::to_string(enableAll) +
                    " cancel=" + Set(cancelEvent) + " progress=" + Set(reinterpret_cast<void*>(progress)) +
                    " user=" + Set(userData),
                restart == INVALID_FILE_ATTRIBUTES ? S_OK : kRestartRequired);
}

__declspec(dllexport) HRESULT WINAPI DismCloseSession(UINT session) {
  return Answer("DismCloseSession", " session=" + std::to_string(session));
}

__declspec(dllexport) HRESULT WINAPI DismShutdown() {
  return Answer("DismShutdown", "");
}

}  // extern "C"
