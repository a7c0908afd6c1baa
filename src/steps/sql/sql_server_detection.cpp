#include "core/leading_number.h"
#include "core/port_guards.h"
#include "platform/wmi.h"
#include "product/setup_state.h"
#include "steps/sql/sql_server_setup.h"

namespace {

constexpr char kChecking[] = "Checking whether SQL Server installed";
constexpr char kLocatorFailed[] = "Failed to create IWbemLocator object used for namespace connections";
constexpr char kCheckingEditions[] = "Checking SQL Editions";
constexpr char kCheckedEditions[] = "Checked SQL Editions";
constexpr char kNoEditions[] = "No SQL Editions found";

constexpr char16_t kNamespacePrefix[] = u"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement";
constexpr int kFirstNamespace = 11;
constexpr int kLastNamespace = 16;
constexpr char16_t kQueryLanguage[] = u"WQL";
constexpr char16_t kInstancesQuery[] =
    u"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'";
constexpr char16_t kPropertyQueryStart[] =
    u"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = ";
constexpr char16_t kPropertyQueryService[] = u" and ServiceName = ";
constexpr std::int32_t kQueryFlags = Wmi::kFlagReturnImmediately | Wmi::kFlagForwardOnly;
constexpr std::int32_t kNextTimeoutMs = 10000;
constexpr std::int32_t kFirstCountedVersion = 12;

constexpr char kNativeClient64[] = "SOFTWARE\\Microsoft\\SQLNCLI11";
constexpr char kNativeClient32[] = "SOFTWARE\\WOW6432Node\\Microsoft\\SQLNCLI11";

std::u16string DecimalText(int number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// The versionsFound bit of a major version, 0 outside 11..16.
std::uint32_t VersionBit(std::int32_t major) {
  if (major < kFirstNamespace || major > kLastNamespace) {
    return 0;
  }
  return 1U << static_cast<unsigned>(major - kFirstNamespace);
}

// Whether the key below HKEY_LOCAL_MACHINE can be opened for reading.
bool KeyExists(Registry& registry, const char* path) {
  UniqueKey key(registry);
  return registry.OpenKey(RegistryKey::localMachine, path, Registry::kRead, key.Receive()) ==
         Registry::kSuccess;
}

}  // namespace

std::int32_t LeadingVersionNumber(std::u16string_view version) {
  return LeadingNumber(version);
}

std::u16string WqlStringLiteral(std::u16string_view text) {
  std::u16string literal = u"'";
  for (const char16_t c : text) {
    if (c == u'\'' || c == u'\\') {
      literal += u'\\';
    }
    literal += c;
  }
  literal += u'\'';
  return literal;
}

bool SqlServerSetup::DetectSqlServer() {
  WriteLog(state_, LogTag::userInterface, kChecking);
  std::unique_ptr<WmiServices> services = ConnectSqlWmi();
  if (!services) {
    return false;
  }
  const std::int32_t count = ScanSqlInstances(*services);
  services.reset();
  if (count == 0) {
    return false;
  }
  return (versionsFound & (kVersion15 | kVersion16)) != 0;
}

std::unique_ptr<WmiServices> SqlServerSetup::ConnectSqlWmi() {
  std::unique_ptr<WmiLocator> locator;
  if (ComFailed(state_.machine.wmi.CreateLocator(locator)) || !locator) {
    WriteLog(state_, LogTag::server, kLocatorFailed);
    return nullptr;
  }
  for (int version = kFirstNamespace; version <= kLastNamespace; ++version) {
    std::unique_ptr<WmiServices> services;
    if (locator->ConnectServer(kNamespacePrefix + DecimalText(version), services) == Wmi::kNoError &&
        services) {
      return services;
    }
  }
  return nullptr;
}

std::int32_t SqlServerSetup::ScanSqlInstances(WmiServices& services) {
  WriteLog(state_, LogTag::userInterface, kCheckingEditions);
  std::unique_ptr<WmiEnumerator> results;
  if (!ComFailed(services.ExecQuery(kQueryLanguage, kInstancesQuery, kQueryFlags, results)) && results) {
    for (;;) {
      std::unique_ptr<WmiObject> object;
      if (ComFailed(results->Next(kNextTimeoutMs, object)) || !object) {
        break;
      }
      std::optional<std::u16string> serviceName;
      if (ComFailed(object->Get(u"ServiceName", serviceName))) {
        continue;
      }
      const std::u16string service = serviceName.value_or(std::u16string());
      if (InstanceNameOf(service).find("MSSQLSERVER") != std::string::npos) {
        defaultInstanceFound = 1;
      }
      object.reset();
      const std::int32_t major = LeadingVersionNumber(QueryServiceProperty(services, service, u"Version"));
      versionsFound |= VersionBit(major);
      if (major >= kFirstCountedVersion) {
        ++instanceCount;
      }
    }
    results.reset();
  }
  WriteLog(state_, LogTag::userInterface, kCheckedEditions);

  if (instanceCount > 0) {
    if (KeyExists(state_.machine.registry, kNativeClient64)) {
      versionsFound |= kVersion16;
    } else if (!KeyExists(state_.machine.registry, kNativeClient32)) {
      nativeClientMissing = true;
    }
  } else {
    WriteLog(state_, LogTag::userInterface, kNoEditions);
  }
  return instanceCount;
}

std::u16string SqlServerSetup::QueryServiceProperty(WmiServices& services, std::u16string_view serviceName,
                                                    std::u16string_view propertyName) {
  const std::u16string query = kPropertyQueryStart + WqlStringLiteral(propertyName) + kPropertyQueryService +
                               WqlStringLiteral(serviceName);
  std::u16string value;
  std::unique_ptr<WmiEnumerator> results;
  if (ComFailed(services.ExecQuery(kQueryLanguage, query, kQueryFlags, results)) || !results) {
    return value;
  }
  for (;;) {
    std::unique_ptr<WmiObject> object;
    if (ComFailed(results->Next(kNextTimeoutMs, object)) || !object) {
      break;
    }
    std::optional<std::u16string> text;
    if (!ComFailed(object->Get(u"PropertyStrValue", text))) {
      value = text.value_or(std::u16string());
    }
  }
  return value;
}

std::string SqlServerSetup::InstanceNameOf(std::u16string_view serviceName) {
  const std::string name = state_.machine.runtime.WideToUtf8(serviceName).value_or(std::string());
  const std::size_t dollar = name.find('$');
  return dollar == std::string::npos ? name : name.substr(dollar + 1);
}
