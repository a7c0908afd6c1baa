// Fetches one package from the download server through WinHTTP as the setup's request form does (HTTPS on
// port 443, GET "downloads/NAME", secure and refresh flags, "Accept: */*"), and prints what happened:
//   ok STATUS BYTES          the response arrived whole
//   error STEP CODE BYTES    a WinHTTP step failed with that error code after BYTES of the body
// and, on standard error once the response arrived whole, the process's peak working set. With "sha256"
// after the file, the body is also hashed with BCrypt as it arrives (the work of a verified download) and
// the digest printed on standard error.
// usage: httpfetch HOST NAME [OUT_FILE [sha256]]
#include <windows.h>

#include <bcrypt.h>
#include <psapi.h>
#include <winhttp.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct InternetHandle {
  HINTERNET handle;
  ~InternetHandle() {
    if (handle != nullptr) {
      WinHttpCloseHandle(handle);
    }
  }
};

int Fail(const char* step, unsigned long long bytes) {
  std::printf("error %s %lu %llu\n", step, GetLastError(), bytes);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: httpfetch HOST NAME [OUT_FILE]\n");
    return 2;
  }
  const InternetHandle session{
      WinHttpOpen(L"Halvorn Nembric App v10.1", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0)};
  if (session.handle == nullptr) {
    return Fail("open", 0);
  }
  WinHttpSetTimeouts(session.handle, 0, 30000, 30000, 30000);
  const InternetHandle connection{WinHttpConnect(session.handle, argv[1], INTERNET_DEFAULT_HTTPS_PORT, 0)};
  if (connection.handle == nullptr) {
    return Fail("connect", 0);
  }
  const std::wstring path = std::wstring(L"downloads/") + argv[2];
  const InternetHandle request{WinHttpOpenRequest(connection.handle, L"GET", path.c_str(), nullptr, nullptr,
                                                  nullptr, WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH)};
  if (request.handle == nullptr) {
    return Fail("request", 0);
  }
  if (!WinHttpSendRequest(request.handle, L"Accept: */*\r\n\r\n", static_cast<DWORD>(-1), nullptr, 0, 0, 0)) {
    return Fail("send", 0);
  }
  if (!WinHttpReceiveResponse(request.handle, nullptr)) {
    return Fail("receive", 0);
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                      &size, nullptr);
  FILE* out = argc > 3 ? _wfopen(argv[3], L"wb") : nullptr;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (argc > 4 && std::wcscmp(argv[4], L"sha256") == 0 &&
      (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
       !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))) {
    return Fail("hash", 0);
  }
  std::vector<char> buffer(1 << 20);
  unsigned long long total = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(request.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
      if (out != nullptr) {
        std::fclose(out);
      }
      return Fail("read", total);
    }
    if (read == 0) {
      break;
    }
    total += read;
    if (out != nullptr) {
      std::fwrite(buffer.data(), 1, read, out);
    }
    if (hash != nullptr) {
      BCryptHashData(hash, reinterpret_cast<PUCHAR>(buffer.data()), read, 0);
    }
  }
  if (hash != nullptr) {
    unsigned char digest[32] = {};
    BCryptFinishHash(hash, digest, sizeof digest, 0);
    BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    std::fprintf(stderr, "sha256 ");
    for (const unsigned char byte : digest) {
      std::fprintf(stderr, "%02x", byte);
    }
    std::fprintf(stderr, "\n");
  }
  if (out != nullptr) {
    std::fclose(out);
  }
  std::printf("ok %lu %llu\n", status, total);
  // The floor of a download's memory under this platform: a process with WinHTTP at work.
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::fprintf(stderr, "peak_working_set_kib=%zu\n",
               static_cast<std::size_t>(memory.PeakWorkingSetSize / 1024));
  return 0;
}
