#include "platform/win32/com_text.h"

unique_bstr WideToBstr(std::u16string_view text) {
  return unique_bstr(
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())));
}

std::u16string BstrToWide(BSTR text) {
  if (text == nullptr) {
    return {};
  }
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

std::optional<std::u16string> VariantText(const VARIANT& value) {
  if (value.vt != VT_BSTR) {
    return std::nullopt;
  }
  return BstrToWide(value.bstrVal);
}
