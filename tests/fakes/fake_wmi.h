#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/wmi.h"

// The SQL Server WMI provider in memory: rows of SqlServiceAdvancedProperty per ComputerManagement
// namespace. Queries are evaluated from their text (SELECT * FROM class WHERE prop = value AND ..., keywords
// in any case, texts in single quotes with backslash escapes), so a wrong query text finds nothing or fails.
class FakeWmi final : public Wmi {
 public:
  struct Row {
    std::int32_t sqlServiceType = 1;
    std::u16string propertyName;
    std::optional<std::u16string> serviceName;  // nullopt: Get fails
    std::optional<std::u16string> propertyStrValue;
  };
  struct Query {
    std::u16string nameSpace;
    std::u16string language;
    std::u16string text;
    std::int32_t flags;
  };

  std::int32_t CreateLocator(std::unique_ptr<WmiLocator>& locator) override;

  // Namespace "ComputerManagement<version>" with a database-engine service of the given version text.
  void AddService(int namespaceVersion, const std::u16string& serviceName, const std::u16string& version);
  void AddRow(int namespaceVersion, Row row);
  static std::u16string NamespaceName(int version);

  // Set by the test.
  std::int32_t locatorResult = kNoError;
  // A query whose text holds this fails with kInvalidQuery.
  std::u16string failQueriesHolding;

  // Recorded.
  std::vector<std::u16string> connects;
  std::vector<Query> queries;
  std::vector<std::int32_t> nextTimeouts;
  // WMI references alive now: every one the system obtained and has not released.
  int LiveReferences() const { return *live_; }

  // Evaluates a query against rows; nullopt when the text is not a query this provider understands.
  static std::optional<std::vector<Row>> Evaluate(const std::u16string& query, const std::vector<Row>& rows);

 private:
  friend class FakeWmiLocator;
  friend class FakeWmiServices;
  friend class FakeWmiEnumerator;
  std::map<std::u16string, std::vector<Row>> namespaces_;
  std::shared_ptr<int> live_ = std::make_shared<int>(0);
};
