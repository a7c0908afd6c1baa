#include "platform/win32/system_message.h"

#include "platform/win32/wide_text.h"

std::optional<std::string> SystemMessageText(DWORD code, HMODULE module) {
  const DWORD source = module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
  LPWSTR text = nullptr;
  const DWORD length = FormatMessageW(source | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                      module, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> message = WideToUtf8Text(std::wstring_view(text, length));
  LocalFree(text);
  return message;
}
