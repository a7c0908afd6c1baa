#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// WMI as the system reaches it: a locator, the services of one namespace, an enumerator of query results
// and the objects it yields. Each reference is owned by its std::unique_ptr and released when that goes.
// Results are the HRESULTs of the calls; texts are UTF-16.

class WmiObject {
 public:
  WmiObject() = default;
  WmiObject(const WmiObject&) = delete;
  WmiObject& operator=(const WmiObject&) = delete;
  virtual ~WmiObject() = default;

  // IWbemClassObject::Get; `text` receives the value when it is a text, nullopt for any other type.
  virtual std::int32_t Get(std::u16string_view property, std::optional<std::u16string>& text) = 0;
};

class WmiEnumerator {
 public:
  WmiEnumerator() = default;
  WmiEnumerator(const WmiEnumerator&) = delete;
  WmiEnumerator& operator=(const WmiEnumerator&) = delete;
  virtual ~WmiEnumerator() = default;

  // IEnumWbemClassObject::Next for one object; `object` stays empty when none came within the time-out.
  virtual std::int32_t Next(std::int32_t timeoutMs, std::unique_ptr<WmiObject>& object) = 0;
};

class WmiServices {
 public:
  WmiServices() = default;
  WmiServices(const WmiServices&) = delete;
  WmiServices& operator=(const WmiServices&) = delete;
  virtual ~WmiServices() = default;

  // IWbemServices::ExecQuery without context.
  virtual std::int32_t ExecQuery(std::u16string_view language, std::u16string_view query, std::int32_t flags,
                                 std::unique_ptr<WmiEnumerator>& results) = 0;
};

class WmiLocator {
 public:
  WmiLocator() = default;
  WmiLocator(const WmiLocator&) = delete;
  WmiLocator& operator=(const WmiLocator&) = delete;
  virtual ~WmiLocator() = default;

  // IWbemLocator::ConnectServer with no user, password, locale, authority or context and flags 0.
  virtual std::int32_t ConnectServer(std::u16string_view nameSpace,
                                     std::unique_ptr<WmiServices>& services) = 0;
};

class Wmi {
 public:
  static constexpr std::int32_t kFlagReturnImmediately = 0x10;
  static constexpr std::int32_t kFlagForwardOnly = 0x20;
  static constexpr std::int32_t kNoError = 0;         // WBEM_S_NO_ERROR
  static constexpr std::int32_t kFalse = 1;           // WBEM_S_FALSE: fewer objects than asked for
  static constexpr std::int32_t kTimedOut = 0x40004;  // WBEM_S_TIMEDOUT
  static constexpr auto kInvalidNamespace = static_cast<std::int32_t>(0x8004100EU);
  static constexpr auto kInvalidQuery = static_cast<std::int32_t>(0x80041017U);
  static constexpr auto kNotFound = static_cast<std::int32_t>(0x80041002U);

  Wmi() = default;
  Wmi(const Wmi&) = delete;
  Wmi& operator=(const Wmi&) = delete;
  virtual ~Wmi() = default;

  // CoCreateInstance of the WbemLocator class in process, for the IWbemLocator interface.
  virtual std::int32_t CreateLocator(std::unique_ptr<WmiLocator>& locator) = 0;
};
