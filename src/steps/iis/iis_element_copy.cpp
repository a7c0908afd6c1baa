#include "steps/iis/iis_element_copy.h"

#include "platform/runtime.h"
#include "steps/iis/iis_value_text.h"

namespace {

// The state a running site or pool reports is IIS's own, not configuration: it is neither kept nor set
// (IIS names its properties as its schema does).
constexpr std::u16string_view kRuntimeState = u"state";
// Deeper than any element of the configuration: a record that nests further is not one of ours.
constexpr std::size_t kMaxDepth = 32;

bool IsEmpty(const IisElementCopy& copy) {
  return copy.properties.empty() && copy.withheld.empty() && copy.children.empty() && copy.items.empty();
}

// The properties the element sets itself; one whose value IIS cannot hand out is left out.
bool CopyProperties(IisElement& element, IisElementCopy& copy) {
  std::unique_ptr<IisPropertyCollection> properties;
  std::uint32_t count = 0;
  if (ComFailed(element.Properties(properties)) || !properties || ComFailed(properties->Count(count))) {
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<IisProperty> property;
    std::u16string name;
    bool isDefault = true;
    IisValue value;
    if (ComFailed(properties->ItemAt(i, property)) || !property || ComFailed(property->Name(name)) ||
        name == kRuntimeState || ComFailed(property->IsDefault(isDefault)) || isDefault) {
      continue;
    }
    // A password is never read out: a property that is, or may be, kept encrypted is only named.
    bool encrypted = true;
    if (ComFailed(property->IsEncrypted(encrypted)) || encrypted) {
      copy.withheld.push_back(std::move(name));
      continue;
    }
    if (ComFailed(property->Value(value))) {
      continue;
    }
    copy.properties.emplace_back(std::move(name), std::move(value));
  }
  return true;
}

bool CopyChildren(IisElement& element, IisElementCopy& copy) {
  std::unique_ptr<IisChildElementCollection> children;
  std::uint32_t count = 0;
  if (ComFailed(element.ChildElements(children)) || !children || ComFailed(children->Count(count))) {
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<IisElement> child;
    if (ComFailed(children->ItemAt(i, child)) || !child) {
      return false;
    }
    std::optional<IisElementCopy> childCopy = CopyElement(*child);
    if (!childCopy) {
      return false;
    }
    if (!IsEmpty(*childCopy)) {
      copy.children.push_back(std::move(*childCopy));
    }
  }
  return true;
}

// The entries of the element's collection; an element without one has none.
bool CopyItems(IisElement& element, IisElementCopy& copy) {
  std::unique_ptr<IisElementCollection> collection;
  std::uint32_t count = 0;
  if (ComFailed(element.Collection(collection)) || !collection) {
    return true;
  }
  if (ComFailed(collection->Count(count))) {
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<IisElement> item;
    if (ComFailed(collection->Item(i, item)) || !item) {
      return false;
    }
    std::optional<IisElementCopy> itemCopy = CopyElement(*item);
    if (!itemCopy) {
      return false;
    }
    copy.items.push_back(std::move(*itemCopy));
  }
  return true;
}

// Sets what the copy holds on a new element (before it is added to its collection).
bool Apply(IisElement& element, const IisElementCopy& copy) {
  bool applied = true;
  for (const auto& [name, value] : copy.properties) {
    std::unique_ptr<IisProperty> property;
    if (ComFailed(element.PropertyByName(name, property)) || !property ||
        ComFailed(property->PutValue(value))) {
      applied = false;
    }
  }
  if (!copy.children.empty()) {
    std::unique_ptr<IisChildElementCollection> children;
    const bool reached = !ComFailed(element.ChildElements(children)) && children;
    for (const IisElementCopy& child : copy.children) {
      std::unique_ptr<IisElement> made;
      applied =
          reached && !ComFailed(children->Item(child.name, made)) && made && Apply(*made, child) && applied;
    }
  }
  if (!copy.items.empty()) {
    std::unique_ptr<IisElementCollection> collection;
    const bool reached = !ComFailed(element.Collection(collection)) && collection;
    for (const IisElementCopy& item : copy.items) {
      applied = reached && AddElementCopy(*collection, item) && applied;
    }
  }
  return applied;
}

std::string HexName(std::u16string_view name) {
  return IisValueText(IisValue(std::u16string(name))).substr(2);
}

std::optional<std::u16string> NameOfHex(std::string_view hex) {
  const std::optional<IisValue> value = ParseIisValueText("t:" + std::string(hex));
  return value ? std::optional<std::u16string>(std::get<std::u16string>(*value)) : std::nullopt;
}

void AppendText(const IisElementCopy& copy, char kind, std::string& text) {
  text += kind;
  text += HexName(copy.name);
  for (const auto& [name, value] : copy.properties) {
    text += ",p";
    text += HexName(name);
    text += '=';
    text += IisValueText(value);
  }
  for (const std::u16string& name : copy.withheld) {
    text += ",w";
    text += HexName(name);
  }
  for (const IisElementCopy& child : copy.children) {
    text += ',';
    AppendText(child, 'c', text);
  }
  for (const IisElementCopy& item : copy.items) {
    text += ',';
    AppendText(item, 'e', text);
  }
  text += ",.";
}

}  // namespace

std::optional<IisElementCopy> CopyElement(IisElement& element) {
  IisElementCopy copy;
  if (ComFailed(element.Name(copy.name)) || !CopyProperties(element, copy) || !CopyChildren(element, copy) ||
      !CopyItems(element, copy)) {
    return std::nullopt;
  }
  return copy;
}

bool AddElementCopy(IisElementCollection& collection, const IisElementCopy& copy) {
  std::unique_ptr<IisElement> element;
  if (ComFailed(collection.CreateNewElement(copy.name, element)) || !element) {
    return false;
  }
  const bool applied = Apply(*element, copy);
  return !ComFailed(collection.AddElement(*element, -1)) && applied;
}

std::vector<std::u16string> WithheldSecrets(const IisElementCopy& copy) {
  std::vector<std::u16string> secrets;
  std::u16string where = copy.name;
  for (const auto& [name, value] : copy.properties) {
    if (name == u"path" && std::holds_alternative<std::u16string>(value)) {
      where += u' ';
      where += std::get<std::u16string>(value);
    }
  }
  for (const std::u16string& name : copy.withheld) {
    std::u16string secret = where;
    secret += u" / ";
    secret += name;
    secrets.push_back(std::move(secret));
  }
  for (const auto* list : {&copy.children, &copy.items}) {
    for (const IisElementCopy& below : *list) {
      for (std::u16string& secret : WithheldSecrets(below)) {
        secrets.push_back(std::move(secret));
      }
    }
  }
  return secrets;
}

std::string ElementCopyText(const IisElementCopy& copy) {
  std::string text;
  AppendText(copy, 'e', text);
  return text;
}

std::optional<IisElementCopy> ParseElementCopyText(std::string_view text) {
  IisElementCopy root;
  std::vector<IisElementCopy*> open;
  bool ended = false;
  while (!text.empty()) {
    const std::string_view token = text.substr(0, text.find(','));
    text.remove_prefix(std::min(text.size(), token.size() + 1));
    if (ended || token.empty()) {
      return std::nullopt;
    }
    if (token == ".") {
      if (open.empty()) {
        return std::nullopt;
      }
      open.pop_back();
      ended = open.empty();
      continue;
    }
    const char kind = token.front();
    if (kind == 'p') {
      const std::size_t equals = token.find('=');
      const std::optional<std::u16string> name = NameOfHex(token.substr(1, equals - 1));
      const std::optional<IisValue> value =
          equals == std::string_view::npos ? std::nullopt : ParseIisValueText(token.substr(equals + 1));
      if (open.empty() || !name || !value) {
        return std::nullopt;
      }
      open.back()->properties.emplace_back(*name, *value);
      continue;
    }
    if (kind == 'w') {
      const std::optional<std::u16string> name = NameOfHex(token.substr(1));
      if (open.empty() || !name) {
        return std::nullopt;
      }
      open.back()->withheld.push_back(*name);
      continue;
    }
    const std::optional<std::u16string> name = NameOfHex(token.substr(1));
    if (!name || (kind != 'e' && kind != 'c') || (open.empty() && kind != 'e') || open.size() >= kMaxDepth) {
      return std::nullopt;
    }
    IisElementCopy* made = &root;
    if (!open.empty()) {
      auto& list = kind == 'c' ? open.back()->children : open.back()->items;
      list.push_back({});
      made = &list.back();
    }
    made->name = *name;
    open.push_back(made);
  }
  return ended ? std::optional<IisElementCopy>(std::move(root)) : std::nullopt;
}
