#include <algorithm>
#include <array>

#include "platform/runtime.h"
#include "steps/iis/iis_value_text.h"
#include "steps/iis/iis_website.h"

namespace {

// The properties the setup sets on its application pool: on the pool element itself (no child) or on a
// child element of it.
struct PoolProperty {
  std::u16string_view child;
  std::u16string_view name;
  IisValue value;
};

constexpr std::int16_t kClassicPipeline = 1;
constexpr std::int16_t kLocalSystem = 0;
constexpr char kNotKept[] = "-";

const std::array<PoolProperty, 6>& PoolProperties() {
  static const std::array<PoolProperty, 6> properties = {{
      {u"", u"autoStart", true},
      {u"", u"managedPipelineMode", kClassicPipeline},
      {u"", u"managedRuntimeVersion", std::u16string()},
      {u"", u"enable32BitAppOnWin64", false},
      {u"processModel", u"identityType", kLocalSystem},
      {u"failure", u"rapidFailProtection", false},
  }};
  return properties;
}

std::string Narrow(std::u16string_view name) {
  return {name.begin(), name.end()};  // the names above are ASCII
}

// "CHILD/NAME" or "NAME", as the record keeps a pool property.
std::string KeptName(const PoolProperty& property) {
  std::string name = Narrow(property.child);
  if (!name.empty()) {
    name += '/';
  }
  name.append(property.name.begin(), property.name.end());
  return name;
}

}  // namespace

bool IisWebsite::PoolPropertyOf(IisElement& pool, std::u16string_view child, std::u16string_view name,
                                std::unique_ptr<IisProperty>& property) {
  std::unique_ptr<IisElement> part;
  if (!child.empty()) {
    std::unique_ptr<IisChildElementCollection> children;
    lastCode_ = pool.ChildElements(children);
    if (ComFailed(lastCode_) || !children || ComFailed(lastCode_ = children->Item(child, part)) || !part) {
      return false;
    }
  }
  lastCode_ = (part ? *part : pool).PropertyByName(name, property);
  if (ComFailed(lastCode_)) {
    property.reset();
  }
  return true;
}

bool IisWebsite::SetPoolProperties(IisElement& pool, IisChange& changed) {
  const auto shown = [this](IisProperty& property, const PoolProperty& setting) {
    std::u16string text;
    return Shown(KeptName(setting),
                 ComFailed(property.StringValue(text)) ? std::nullopt : std::optional(std::move(text)));
  };
  const auto add = [](std::string& list, const std::string& item) {
    list.append(list.empty() ? "" : ", ").append(item);
  };
  for (const PoolProperty& setting : PoolProperties()) {
    std::unique_ptr<IisProperty> property;
    if (!PoolPropertyOf(pool, setting.child, setting.name, property)) {
      return false;
    }
    if (property) {
      const std::string before = shown(*property, setting);
      property->PutValue(setting.value);
      const std::string after = shown(*property, setting);
      if (after != before) {
        add(changed.before, before);
        add(changed.after, after);
      }
    }
  }
  return true;
}

std::optional<std::string> IisWebsite::KeepPoolProperties(IisElement& pool) {
  std::string kept;
  for (const PoolProperty& property : PoolProperties()) {
    std::unique_ptr<IisProperty> value;
    bool isDefault = false;
    IisValue held;
    if (!PoolPropertyOf(pool, property.child, property.name, value) || !value ||
        ComFailed(lastCode_ = value->IsDefault(isDefault)) ||
        (!isDefault && ComFailed(lastCode_ = value->Value(held)))) {
      return std::nullopt;
    }
    if (!kept.empty()) {
      kept += ',';
    }
    kept += KeptName(property);
    kept += '=';
    kept += isDefault ? std::string(kNotKept) : IisValueText(held);
  }
  return kept;
}

bool IisWebsite::RestorePool(std::string_view name, std::string_view kept) {
  const std::unique_ptr<IisElement> pool = PoolNamed(name);
  if (!pool) {
    return false;
  }
  bool restored = true;
  while (!kept.empty()) {
    const std::string_view item = kept.substr(0, kept.find(','));
    kept.remove_prefix(std::min(kept.size(), item.size() + 1));
    const std::size_t equals = item.find('=');
    const std::string_view keptName = item.substr(0, equals);
    const std::string_view text =
        equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    // Only what the setup changes is put back, whatever else the record might say.
    const auto* property = [&]() -> const PoolProperty* {
      for (const PoolProperty& candidate : PoolProperties()) {
        if (KeptName(candidate) == keptName) {
          return &candidate;
        }
      }
      return nullptr;
    }();
    const std::optional<IisValue> value = text == kNotKept ? std::nullopt : ParseIisValueText(text);
    if (property == nullptr || (text != kNotKept && !value)) {
      restored = false;
      continue;
    }
    std::unique_ptr<IisProperty> held;
    if (!PoolPropertyOf(*pool, property->child, property->name, held) || !held ||
        ComFailed(value ? held->PutValue(*value) : held->Clear())) {
      restored = false;
    }
  }
  return restored;
}
