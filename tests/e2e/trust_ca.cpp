// Adds the test certificate authority to the Root store of the Windows machine it runs on: under Wine,
// the project's own prefix, never the host. usage: trust_ca CA.der
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: trust_ca CA.der\n");
    return 2;
  }
  FILE* file = _wfopen(argv[1], L"rb");
  if (file == nullptr) {
    std::fwprintf(stderr, L"cannot read %ls\n", argv[1]);
    return 1;
  }
  std::vector<BYTE> der(16384);
  const std::size_t length = std::fread(der.data(), 1, der.size(), file);
  std::fclose(file);
  if (CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), static_cast<DWORD>(length)) == FALSE) {
    std::fwprintf(stderr, L"the Root store refused the certificate: error %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
