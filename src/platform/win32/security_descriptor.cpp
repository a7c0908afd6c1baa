#include "platform/win32/security_descriptor.h"

#include <sddl.h>

unique_security_descriptor SecurityDescriptorOf(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                           nullptr) == FALSE) {
    return unique_security_descriptor();
  }
  return unique_security_descriptor(descriptor);
}

std::optional<std::string> SddlOf(PSECURITY_DESCRIPTOR descriptor) {
  char* text = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
          nullptr) == FALSE) {
    return std::nullopt;
  }
  std::string sddl = text;
  LocalFree(text);
  return sddl;
}
