#include "platform/win32/security_descriptor.h"

#include <sddl.h>

#include "platform/win32/wide_text.h"

unique_security_descriptor SecurityDescriptorOf(const std::string& sddl) {
  const std::optional<std::wstring> wide = Utf8ToWideText(sddl);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!wide || ConvertStringSecurityDescriptorToSecurityDescriptorW(wide->c_str(), SDDL_REVISION_1,
                                                                    &descriptor, nullptr) == FALSE) {
    return unique_security_descriptor();
  }
  return unique_security_descriptor(descriptor);
}

std::optional<std::string> SddlOf(PSECURITY_DESCRIPTOR descriptor) {
  wchar_t* text = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
          nullptr) == FALSE) {
    return std::nullopt;
  }
  std::optional<std::string> sddl = WideToUtf8Text(text);
  LocalFree(text);
  return sddl;
}
