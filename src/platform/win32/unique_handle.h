#pragma once

#include <windows.h>

#include <utility>

// Owns one Windows handle and releases it with `Close` when it goes; `Invalid` is the value that means
// "nothing owned".
template <typename T, auto Close, T Invalid = T{}>
class unique_handle {
 public:
  unique_handle() = default;
  explicit unique_handle(T value) : value_(value) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : value_(std::exchange(other.value_, Invalid)) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.value_, Invalid));
    }
    return *this;
  }
  ~unique_handle() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    if (value_ != Invalid) {
      Close(value_);
    }
    value_ = value;
  }

 private:
  T value_ = Invalid;
};

// A kernel object's handle (a thread, an event), closed with CloseHandle.
using unique_kernel_handle = unique_handle<HANDLE, CloseHandle>;
