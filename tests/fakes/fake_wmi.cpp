#include "fake_wmi.h"

#include <cctype>

#include "platform/runtime.h"

namespace {

// Counts itself among the live references of the fake for as long as it exists.
class LiveReference {
 public:
  explicit LiveReference(std::shared_ptr<int> live) : live_(std::move(live)) { ++*live_; }
  LiveReference(const LiveReference&) = delete;
  LiveReference& operator=(const LiveReference&) = delete;
  ~LiveReference() { --*live_; }

 private:
  std::shared_ptr<int> live_;
};

char16_t Lower(char16_t c) {
  return c < 128 ? static_cast<char16_t>(std::tolower(c)) : c;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) {
      return false;
    }
  }
  return true;
}

// A small reader of the query text: words, numbers, "*", "=", and quoted texts.
class QueryReader {
 public:
  explicit QueryReader(std::u16string_view text) : text_(text) {}

  void SkipSpace() {
    while (at_ < text_.size() && text_[at_] == u' ') {
      ++at_;
    }
  }
  bool AtEnd() {
    SkipSpace();
    return at_ == text_.size();
  }
  std::optional<std::u16string> Word() {
    SkipSpace();
    const std::size_t start = at_;
    while (at_ < text_.size() &&
           (std::isalnum(text_[at_] < 128 ? text_[at_] : 0) != 0 || text_[at_] == u'_')) {
      ++at_;
    }
    if (at_ == start) {
      return std::nullopt;
    }
    return std::u16string(text_.substr(start, at_ - start));
  }
  bool Expect(std::u16string_view word) {
    const std::size_t start = at_;
    SkipSpace();
    if (word == u"*" || word == u"=") {
      if (at_ < text_.size() && text_[at_] == word[0]) {
        ++at_;
        return true;
      }
      at_ = start;
      return false;
    }
    const std::optional<std::u16string> found = Word();
    if (found && SameText(*found, word)) {
      return true;
    }
    at_ = start;
    return false;
  }
  // A quoted text with backslash escapes, or a bare word or number.
  std::optional<std::u16string> Value() {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == u'\'') {
      ++at_;
      std::u16string value;
      while (at_ < text_.size() && text_[at_] != u'\'') {
        if (text_[at_] == u'\\' && at_ + 1 < text_.size()) {
          ++at_;
        }
        value += text_[at_++];
      }
      if (at_ == text_.size()) {
        return std::nullopt;  // unterminated
      }
      ++at_;
      return value;
    }
    return Word();
  }

 private:
  std::u16string_view text_;
  std::size_t at_ = 0;
};

bool Matches(const FakeWmi::Row& row, const std::u16string& property, const std::u16string& value,
             bool& known) {
  known = true;
  if (SameText(property, u"SQLServiceType")) {
    const std::string digits = std::to_string(row.sqlServiceType);
    return value == std::u16string(digits.begin(), digits.end());
  }
  if (SameText(property, u"PropertyName")) {
    return SameText(row.propertyName, value);
  }
  if (SameText(property, u"ServiceName")) {
    return row.serviceName && SameText(*row.serviceName, value);
  }
  if (SameText(property, u"PropertyStrValue")) {
    return row.propertyStrValue && SameText(*row.propertyStrValue, value);
  }
  known = false;
  return false;
}

}  // namespace

class FakeWmiObject final : public WmiObject {
 public:
  FakeWmiObject(FakeWmi::Row row, std::shared_ptr<int> live) : row_(std::move(row)), live_(std::move(live)) {}
  std::int32_t Get(std::u16string_view property, std::optional<std::u16string>& text) override {
    const std::optional<std::u16string>* value = nullptr;
    if (SameText(property, u"ServiceName")) {
      value = &row_.serviceName;
    } else if (SameText(property, u"PropertyStrValue")) {
      value = &row_.propertyStrValue;
    } else if (SameText(property, u"PropertyName")) {
      text = row_.propertyName;
      return Wmi::kNoError;
    }
    if (value == nullptr || !*value) {
      return Wmi::kNotFound;
    }
    text = **value;
    return Wmi::kNoError;
  }

 private:
  FakeWmi::Row row_;
  LiveReference live_;
};

class FakeWmiEnumerator final : public WmiEnumerator {
 public:
  FakeWmiEnumerator(FakeWmi& wmi, std::vector<FakeWmi::Row> rows)
      : wmi_(wmi), rows_(std::move(rows)), live_(wmi.live_) {}
  std::int32_t Next(std::int32_t timeoutMs, std::unique_ptr<WmiObject>& object) override {
    wmi_.nextTimeouts.push_back(timeoutMs);
    if (next_ == rows_.size()) {
      return Wmi::kFalse;
    }
    object = std::make_unique<FakeWmiObject>(rows_[next_++], wmi_.live_);
    return Wmi::kNoError;
  }

 private:
  FakeWmi& wmi_;
  std::vector<FakeWmi::Row> rows_;
  std::size_t next_ = 0;
  LiveReference live_;
};

class FakeWmiServices final : public WmiServices {
 public:
  FakeWmiServices(FakeWmi& wmi, std::u16string nameSpace)
      : wmi_(wmi), nameSpace_(std::move(nameSpace)), live_(wmi.live_) {}
  std::int32_t ExecQuery(std::u16string_view language, std::u16string_view query, std::int32_t flags,
                         std::unique_ptr<WmiEnumerator>& results) override {
    wmi_.queries.push_back({nameSpace_, std::u16string(language), std::u16string(query), flags});
    if (!wmi_.failQueriesHolding.empty() &&
        query.find(wmi_.failQueriesHolding) != std::u16string_view::npos) {
      return Wmi::kInvalidQuery;
    }
    if (language != u"WQL") {
      return static_cast<std::int32_t>(0x80041018U);  // WBEM_E_INVALID_QUERY_TYPE
    }
    std::optional<std::vector<FakeWmi::Row>> rows =
        FakeWmi::Evaluate(std::u16string(query), wmi_.namespaces_[nameSpace_]);
    if (!rows) {
      return Wmi::kInvalidQuery;
    }
    results = std::make_unique<FakeWmiEnumerator>(wmi_, std::move(*rows));
    return Wmi::kNoError;
  }

 private:
  FakeWmi& wmi_;
  std::u16string nameSpace_;
  LiveReference live_;
};

class FakeWmiLocator final : public WmiLocator {
 public:
  explicit FakeWmiLocator(FakeWmi& wmi) : wmi_(wmi), live_(wmi.live_) {}
  std::int32_t ConnectServer(std::u16string_view nameSpace, std::unique_ptr<WmiServices>& services) override {
    wmi_.connects.emplace_back(nameSpace);
    if (wmi_.namespaces_.count(std::u16string(nameSpace)) == 0) {
      return Wmi::kInvalidNamespace;
    }
    services = std::make_unique<FakeWmiServices>(wmi_, std::u16string(nameSpace));
    return Wmi::kNoError;
  }

 private:
  FakeWmi& wmi_;
  LiveReference live_;
};

std::int32_t FakeWmi::CreateLocator(std::unique_ptr<WmiLocator>& locator) {
  if (ComFailed(locatorResult)) {
    return locatorResult;
  }
  locator = std::make_unique<FakeWmiLocator>(*this);
  return kNoError;
}

std::u16string FakeWmi::NamespaceName(int version) {
  const std::string digits = std::to_string(version);
  return u"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement" +
         std::u16string(digits.begin(), digits.end());
}

void FakeWmi::AddRow(int namespaceVersion, Row row) {
  namespaces_[NamespaceName(namespaceVersion)].push_back(std::move(row));
}

void FakeWmi::AddService(int namespaceVersion, const std::u16string& serviceName,
                         const std::u16string& version) {
  const std::u16string instance = serviceName.find(u'$') == std::u16string::npos
                                      ? serviceName
                                      : serviceName.substr(serviceName.find(u'$') + 1);
  AddRow(namespaceVersion, Row{1, u"instanceID", serviceName, u"MSSQL." + instance});
  AddRow(namespaceVersion, Row{1, u"Version", serviceName, version});
  AddRow(namespaceVersion, Row{1, u"SKUNAME", serviceName, u"Express Edition (64-bit)"});
  // The agent of the same instance is another service type, which the detection never counts.
  AddRow(namespaceVersion, Row{2, u"Version", u"SQLAgent$" + instance, version});
}

std::optional<std::vector<FakeWmi::Row>> FakeWmi::Evaluate(const std::u16string& query,
                                                           const std::vector<Row>& rows) {
  QueryReader reader(query);
  if (!reader.Expect(u"SELECT") || !reader.Expect(u"*") || !reader.Expect(u"FROM") ||
      !reader.Expect(u"SqlServiceAdvancedProperty")) {
    return std::nullopt;
  }
  std::vector<std::pair<std::u16string, std::u16string>> conditions;
  if (!reader.AtEnd()) {
    if (!reader.Expect(u"WHERE")) {
      return std::nullopt;
    }
    do {
      const std::optional<std::u16string> property = reader.Word();
      if (!property || !reader.Expect(u"=")) {
        return std::nullopt;
      }
      const std::optional<std::u16string> value = reader.Value();
      if (!value) {
        return std::nullopt;
      }
      conditions.emplace_back(*property, *value);
    } while (reader.Expect(u"AND"));
    if (!reader.AtEnd()) {
      return std::nullopt;
    }
  }
  std::vector<Row> found;
  for (const Row& row : rows) {
    bool all = true;
    for (const auto& [property, value] : conditions) {
      bool known = false;
      all = Matches(row, property, value, known) && all;
      if (!known) {
        return std::nullopt;
      }
    }
    if (all) {
      found.push_back(row);
    }
  }
  return found;
}
