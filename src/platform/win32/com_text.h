#pragma once

#include <windows.h>

#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

// Owns one BSTR and frees it when it goes.
class unique_bstr {
 public:
  unique_bstr() = default;
  explicit unique_bstr(BSTR text) : text_(text) {}
  unique_bstr(const unique_bstr&) = delete;
  unique_bstr& operator=(const unique_bstr&) = delete;
  unique_bstr(unique_bstr&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }
  unique_bstr& operator=(unique_bstr&&) = delete;
  ~unique_bstr() { SysFreeString(text_); }

  BSTR get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  BSTR text_ = nullptr;
};

// Owns one VARIANT and clears it when it goes.
class unique_variant {
 public:
  unique_variant() { VariantInit(&value_); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { VariantClear(&value_); }

  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }

 private:
  VARIANT value_;
};

// A new BSTR holding the UTF-16 text; empty when the allocation fails, which the callers report as
// E_OUTOFMEMORY from the operation that needed it.
unique_bstr WideToBstr(std::u16string_view text);

// The text of a BSTR (a null BSTR is the empty text).
std::u16string BstrToWide(BSTR text);

// The text of a VARIANT holding a BSTR; nullopt for any other type.
std::optional<std::u16string> VariantText(const VARIANT& value);
