#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/unique_handle.h"

// A security descriptor that Windows allocated (from an SDDL text), freed with LocalFree.
inline void FreeLocal(void* memory) {
  LocalFree(memory);
}
using unique_security_descriptor = unique_handle<PSECURITY_DESCRIPTOR, FreeLocal>;

// The self-relative security descriptor of an SDDL text
// (ConvertStringSecurityDescriptorToSecurityDescriptorA); empty when Windows cannot read the text,
// GetLastError then telling why.
unique_security_descriptor SecurityDescriptorOf(const std::string& sddl);

// The SDDL text of the owner and the DACL of a security descriptor
// (ConvertSecurityDescriptorToStringSecurityDescriptorA); nullopt when it cannot be written.
std::optional<std::string> SddlOf(PSECURITY_DESCRIPTOR descriptor);
