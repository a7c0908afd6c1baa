#include "fake_iis.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <type_traits>
#include <variant>

namespace {

constexpr auto kNotFound = static_cast<std::int32_t>(0x80070490U);         // ERROR_NOT_FOUND
constexpr auto kAlreadyExists = static_cast<std::int32_t>(0x800700B7U);    // ERROR_ALREADY_EXISTS
constexpr auto kInvalidArgument = static_cast<std::int32_t>(0x80070057U);  // E_INVALIDARG

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (const char16_t c : text) {
    if (c < 0x80) {
      narrow += static_cast<char>(c);
    } else if (c < 0x800) {
      narrow += static_cast<char>(0xC0 | (c >> 6));
      narrow += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      narrow += static_cast<char>(0xE0 | (c >> 12));
      narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return narrow;
}

std::u16string Lower(std::u16string_view name) {
  std::u16string lower(name);
  for (char16_t& c : lower) {
    c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  }
  return lower;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           const auto lower = [](char16_t c) {
             return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
           };
           return lower(x) == lower(y);
         });
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// The last part of a section name is its element; the parts before it are the groups it sits in.
std::vector<std::string> SectionParts(const std::u16string& section) {
  std::vector<std::string> parts;
  std::stringstream stream(Narrow(section));
  for (std::string part; std::getline(stream, part, '/');) {
    parts.push_back(part);
  }
  return parts;
}

using NodePointer = std::shared_ptr<FakeIis::Node>;

// Counts the references a test has not released yet.
class Counted {
 public:
  explicit Counted(FakeIis& iis) : iis_(iis) { ++iis_.liveReferences; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  ~Counted() { iis_.Released(); }

 protected:
  FakeIis& iis_;
};

template <typename Number>
std::u16string Decimal(Number value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

class Property final : public IisProperty, Counted {
 public:
  Property(FakeIis& iis, NodePointer node, std::u16string name)
      : Counted(iis), node_(std::move(node)), name_(std::move(name)) {}
  std::int32_t PutValue(const IisValue& value) override {
    iis_.uncommitted = true;
    static constexpr const char* kTypes[] = {"text", "bool", "int16", "int32", "uint32", "int64", "uint64"};
    const std::u16string text = std::visit(
        [](const auto& held) -> std::u16string {
          using Held = std::decay_t<decltype(held)>;
          if constexpr (std::is_same_v<Held, std::u16string>) {
            return held;
          } else if constexpr (std::is_same_v<Held, bool>) {
            return held ? u"true" : u"false";
          } else {
            return Decimal(held);
          }
        },
        value);
    return Put(kTypes[value.index()], text);
  }
  // The value as it was put; without a type, as text. A property the element does not set has no value
  // here (the fake knows no schema and its defaults).
  std::int32_t Value(IisValue& value) override {
    if (const std::int32_t failure = iis_.Failure("Value", Narrow(name_))) {
      return failure;
    }
    const std::u16string* text = node_->Property(name_);
    if (text == nullptr) {
      return kNotFound;
    }
    const auto type = node_->types.find(Lower(name_));
    const std::string kind = type == node_->types.end() ? "text" : type->second;
    const std::string digits = Narrow(*text);
    if (kind == "bool") {
      value = *text == u"true";
    } else if (kind == "int16") {
      value = static_cast<std::int16_t>(std::stoi(digits));
    } else if (kind == "int32") {
      value = static_cast<std::int32_t>(std::stol(digits));
    } else if (kind == "uint32") {
      value = static_cast<std::uint32_t>(std::stoul(digits));
    } else if (kind == "int64") {
      value = static_cast<std::int64_t>(std::stoll(digits));
    } else if (kind == "uint64") {
      value = static_cast<std::uint64_t>(std::stoull(digits));
    } else {
      value = *text;
    }
    return 0;
  }
  std::int32_t Name(std::u16string& name) override {
    name = name_;
    return 0;
  }
  // As IIS's schema marks them: every password is kept encrypted.
  std::int32_t IsEncrypted(bool& encrypted) override {
    if (const std::int32_t failure = iis_.Failure("IsEncrypted", Narrow(name_))) {
      return failure;
    }
    encrypted = Lower(name_) == u"password";
    return 0;
  }
  std::int32_t IsDefault(bool& isDefault) override {
    if (const std::int32_t failure = iis_.Failure("IsDefault", Narrow(name_))) {
      return failure;
    }
    isDefault = node_->Property(name_) == nullptr;
    return 0;
  }
  std::int32_t Clear() override {
    iis_.uncommitted = true;
    if (const std::int32_t failure = iis_.Failure("Clear", Narrow(name_))) {
      return failure;
    }
    node_->Clear(name_);
    return 0;
  }
  std::int32_t StringValue(std::u16string& value) override {
    if (const std::int32_t failure = iis_.Failure("StringValue", Narrow(name_))) {
      return failure;
    }
    const std::u16string* text = node_->Property(name_);
    value = text != nullptr ? *text : std::u16string();
    return 0;
  }

 private:
  std::int32_t Put(const char* type, std::u16string value) {
    if (const std::int32_t failure = iis_.Failure("PutValue", Narrow(name_))) {
      return failure;
    }
    iis_.puts.push_back({Narrow(name_), type, value});
    node_->Set(name_, std::move(value));
    node_->types[Lower(name_)] = type;
    return 0;
  }

  NodePointer node_;
  std::u16string name_;
};

class PropertyCollection final : public IisPropertyCollection, Counted {
 public:
  PropertyCollection(FakeIis& iis, NodePointer node) : Counted(iis), node_(std::move(node)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    if (const std::int32_t failure = iis_.Failure("Item", Narrow(name))) {
      return failure;
    }
    property = std::make_unique<Property>(iis_, node_, std::u16string(name));
    return 0;
  }
  // The properties the element sets (the fake knows no schema to list the rest).
  std::int32_t Count(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(node_->properties.size());
    return 0;
  }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisProperty>& property) override {
    if (position >= node_->properties.size()) {
      return kInvalidArgument;
    }
    property = std::make_unique<Property>(iis_, node_, node_->properties[position].first);
    return 0;
  }

 private:
  NodePointer node_;
};

class MethodInstance final : public IisMethodInstance, Counted {
 public:
  MethodInstance(FakeIis& iis, NodePointer node, std::u16string method)
      : Counted(iis), node_(std::move(node)), method_(std::move(method)) {}
  std::int32_t Execute() override {
    if (const std::int32_t failure = iis_.Failure("Execute")) {
      return failure;
    }
    const std::u16string* found = node_->Property(u"name");
    const std::u16string name = found != nullptr ? *found : std::u16string();
    if (node_->tag == "site") {
      iis_.started.push_back(name);
      return 0;
    }
    // A pool: its worker process starts, or stops (at once, or never when the test says so).
    iis_.poolCalls.push_back(method_ + u" " + name);
    const bool start = method_ == u"Start";
    if (!start && iis_.poolsHangOnStop) {
      node_->Set(u"state", u"Stopping");
      return 0;
    }
    node_->Set(u"state", start ? u"Started" : u"Stopped");
    if (iis_.onPoolState) {
      iis_.onPoolState(name, start);
    }
    return 0;
  }

 private:
  NodePointer node_;
  std::u16string method_;
};

class Method final : public IisMethod, Counted {
 public:
  Method(FakeIis& iis, NodePointer node, std::u16string name)
      : Counted(iis), node_(std::move(node)), name_(std::move(name)) {}
  std::int32_t CreateInstance(std::unique_ptr<IisMethodInstance>& instance) override {
    if (const std::int32_t failure = iis_.Failure("CreateInstance")) {
      return failure;
    }
    instance = std::make_unique<MethodInstance>(iis_, node_, name_);
    return 0;
  }

 private:
  NodePointer node_;
  std::u16string name_;
};

class MethodCollection final : public IisMethodCollection, Counted {
 public:
  MethodCollection(FakeIis& iis, NodePointer node) : Counted(iis), node_(std::move(node)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisMethod>& method) override {
    // Sites have the one method "Start"; application pools (the "add" items of their section) "Start"
    // and "Stop".
    const bool site = node_->tag == "site" && name == u"Start";
    const bool pool = node_->tag == "add" && (name == u"Start" || name == u"Stop");
    if (!site && !pool) {
      return kNotFound;
    }
    if (const std::int32_t failure = iis_.Failure("Method", Narrow(name))) {
      return failure;
    }
    method = std::make_unique<Method>(iis_, node_, std::u16string(name));
    return 0;
  }

 private:
  NodePointer node_;
};

class Element final : public IisElement, Counted {
 public:
  Element(FakeIis& iis, NodePointer node) : Counted(iis), node_(std::move(node)) {}
  const NodePointer& node() const { return node_; }

  std::int32_t Name(std::u16string& name) override {
    name.assign(node_->tag.begin(), node_->tag.end());
    return 0;
  }
  std::int32_t Collection(std::unique_ptr<IisElementCollection>& collection) override;
  std::int32_t Properties(std::unique_ptr<IisPropertyCollection>& properties) override {
    if (const std::int32_t failure = iis_.Failure("Properties", node_->tag)) {
      return failure;
    }
    properties = std::make_unique<PropertyCollection>(iis_, node_);
    return 0;
  }
  std::int32_t ChildElements(std::unique_ptr<IisChildElementCollection>& children) override;
  std::int32_t Methods(std::unique_ptr<IisMethodCollection>& methods) override {
    if (const std::int32_t failure = iis_.Failure("Methods", node_->tag)) {
      return failure;
    }
    methods = std::make_unique<MethodCollection>(iis_, node_);
    return 0;
  }
  std::int32_t ElementByName(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    if (const std::int32_t failure = iis_.Failure("ElementByName", Narrow(name))) {
      return failure;
    }
    element = std::make_unique<Element>(iis_, node_->Child(Narrow(name)));
    return 0;
  }
  std::int32_t PropertyByName(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    if (const std::int32_t failure = iis_.Failure("PropertyByName", Narrow(name))) {
      return failure;
    }
    property = std::make_unique<Property>(iis_, node_, std::u16string(name));
    return 0;
  }

 private:
  NodePointer node_;
};

class ElementCollection final : public IisElementCollection, Counted {
 public:
  ElementCollection(FakeIis& iis, NodePointer node) : Counted(iis), node_(std::move(node)) {}
  std::int32_t Count(std::uint32_t& count) override {
    if (const std::int32_t failure = iis_.Failure("Count", node_->tag)) {
      return failure;
    }
    count = static_cast<std::uint32_t>(node_->items.size());
    return 0;
  }
  std::int32_t Item(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    if (const std::int32_t failure = iis_.Failure("Item", std::to_string(position))) {
      return failure;
    }
    if (position >= node_->items.size()) {
      return kInvalidArgument;
    }
    element = std::make_unique<Element>(iis_, node_->items[position]);
    return 0;
  }
  std::int32_t AddElement(IisElement& element, std::int32_t position) override {
    iis_.uncommitted = true;
    if (const std::int32_t failure = iis_.Failure("AddElement", node_->tag)) {
      return failure;
    }
    const auto* own = dynamic_cast<Element*>(&element);
    if (own == nullptr) {
      return kInvalidArgument;
    }
    // An entry whose unique key another entry of the collection holds already is refused.
    for (const char16_t* key : {u"name", u"path", u"value", u"bindingInformation"}) {
      const std::u16string* value = own->node()->Property(key);
      if (value == nullptr) {
        continue;
      }
      for (const NodePointer& item : node_->items) {
        if (const std::u16string* held = item->Property(key); held != nullptr && SameName(*held, *value)) {
          return kAlreadyExists;
        }
      }
      break;
    }
    if (position < 0 || static_cast<std::size_t>(position) >= node_->items.size()) {
      node_->items.push_back(own->node());
    } else {
      node_->items.insert(node_->items.begin() + position, own->node());
    }
    return 0;
  }
  std::int32_t DeleteElement(std::uint32_t position) override {
    iis_.uncommitted = true;
    if (position >= node_->items.size()) {
      return kInvalidArgument;
    }
    node_->items.erase(node_->items.begin() + position);
    return 0;
  }
  std::int32_t Clear() override {
    iis_.uncommitted = true;
    node_->items.clear();
    return 0;
  }
  std::int32_t CreateNewElement(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    if (const std::int32_t failure = iis_.Failure("CreateNewElement", Narrow(name))) {
      return failure;
    }
    auto node = std::make_shared<FakeIis::Node>();
    node->tag = Narrow(name);
    element = std::make_unique<Element>(iis_, std::move(node));
    return 0;
  }

 private:
  NodePointer node_;
};

class ChildElementCollection final : public IisChildElementCollection, Counted {
 public:
  ChildElementCollection(FakeIis& iis, NodePointer node) : Counted(iis), node_(std::move(node)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    if (const std::int32_t failure = iis_.Failure("Child", Narrow(name))) {
      return failure;
    }
    element = std::make_unique<Element>(iis_, node_->Child(Narrow(name)));
    return 0;
  }
  // The child elements made so far (each exists once it is asked for by name, as every one of the schema
  // does in IIS).
  std::int32_t Count(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(node_->children.size());
    return 0;
  }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    if (position >= node_->children.size()) {
      return kInvalidArgument;
    }
    element = std::make_unique<Element>(iis_, node_->children[position]);
    return 0;
  }

 private:
  NodePointer node_;
};

std::int32_t Element::Collection(std::unique_ptr<IisElementCollection>& collection) {
  if (const std::int32_t failure = iis_.Failure("Collection", node_->tag)) {
    return failure;
  }
  collection = std::make_unique<ElementCollection>(iis_, node_);
  return 0;
}

std::int32_t Element::ChildElements(std::unique_ptr<IisChildElementCollection>& children) {
  if (const std::int32_t failure = iis_.Failure("ChildElements", node_->tag)) {
    return failure;
  }
  children = std::make_unique<ChildElementCollection>(iis_, node_);
  return 0;
}

class AdminManager final : public IisAdminManager, Counted {
 public:
  explicit AdminManager(FakeIis& iis) : Counted(iis) {}
  std::int32_t AdminSection(std::u16string_view section, std::u16string_view path,
                            std::unique_ptr<IisElement>& element) override {
    if (const std::int32_t failure = iis_.Failure("AdminSection", Narrow(section))) {
      return failure;
    }
    element = std::make_unique<Element>(iis_, iis_.Section(std::u16string(section), std::u16string(path)));
    return 0;
  }
  std::int32_t CommitChanges() override {
    // A test fails every commit ("CommitChanges"), or the commit at one path ("CommitChanges PATH").
    if (const std::int32_t failure = iis_.Failure("CommitChanges", Narrow(iis_.commitPath))) {
      return failure;
    }
    iis_.commits.push_back({iis_.commitPath, iis_.Dump(), iis_.Save()});
    iis_.committed = iis_.commits.back().saved;
    iis_.uncommitted = false;
    if (iis_.changed) {
      iis_.changed();
    }
    return 0;
  }
  std::int32_t CommitPath(std::u16string& path) override {
    path = iis_.commitPath;
    return 0;
  }
  std::int32_t SetCommitPath(std::u16string_view path) override {
    if (const std::int32_t failure = iis_.Failure("SetCommitPath")) {
      return failure;
    }
    iis_.commitPath = path;
    return 0;
  }
  std::int32_t DeleteLocation(std::u16string_view configPath, std::u16string_view location) override {
    if (const std::int32_t failure = iis_.Failure("DeleteLocation")) {
      return failure;
    }
    return iis_.DeleteLocation(std::u16string(configPath) + u"/" + std::u16string(location));
  }
  std::int32_t FindLocation(std::u16string_view configPath, std::u16string_view location) override {
    if (const std::int32_t failure = iis_.Failure("FindLocation")) {
      return failure;
    }
    return iis_.FindLocation(std::u16string(configPath) + u"/" + std::u16string(location));
  }
};

// One level of the dump: the groups and sections below one group of one path.
struct Group {
  std::map<std::string, Group> groups;
  std::vector<NodePointer> sections;
};

bool Empty(const FakeIis::Node& node) {
  return node.properties.empty() && node.items.empty() &&
         std::all_of(node.children.begin(), node.children.end(),
                     [](const auto& child) { return Empty(*child); });
}

// A child element that sets nothing is not written, as IIS writes none.
void WriteNode(std::ostringstream& out, const FakeIis::Node& node, int depth) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  out << indent << '<' << node.tag;
  for (const auto& [name, value] : node.properties) {
    out << ' ' << Narrow(name) << "=\"" << Escaped(Narrow(value)) << '"';
  }
  if (node.items.empty() && std::all_of(node.children.begin(), node.children.end(),
                                        [](const NodePointer& child) { return Empty(*child); })) {
    out << " />\n";
    return;
  }
  out << ">\n";
  for (const NodePointer& child : node.children) {
    if (!Empty(*child)) {
      WriteNode(out, *child, depth + 1);
    }
  }
  for (const NodePointer& item : node.items) {
    WriteNode(out, *item, depth + 1);
  }
  out << indent << "</" << node.tag << ">\n";
}

void WriteGroup(std::ostringstream& out, const Group& group, int depth) {
  for (const auto& [name, inner] : group.groups) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    out << indent << '<' << name << ">\n";
    WriteGroup(out, inner, depth + 1);
    out << indent << "</" << name << ">\n";
  }
  for (const NodePointer& section : group.sections) {
    WriteNode(out, *section, depth);
  }
}

}  // namespace

const std::u16string* FakeIis::Node::Property(std::u16string_view name) const {
  for (const auto& [key, value] : properties) {
    if (SameName(key, name)) {
      return &value;
    }
  }
  return nullptr;
}

void FakeIis::Node::Set(std::u16string_view name, std::u16string value) {
  for (auto& [key, stored] : properties) {
    if (SameName(key, name)) {
      stored = std::move(value);
      return;
    }
  }
  properties.emplace_back(name, std::move(value));
}

void FakeIis::Node::Clear(std::u16string_view name) {
  std::erase_if(properties, [name](const auto& property) { return SameName(property.first, name); });
  types.erase(Lower(name));
}

std::shared_ptr<FakeIis::Node> FakeIis::Node::Child(const std::string& childTag) {
  for (const auto& child : children) {
    if (child->tag == childTag) {
      return child;
    }
  }
  children.push_back(std::make_shared<Node>());
  children.back()->tag = childTag;
  return children.back();
}

std::int32_t FakeIis::CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) {
  if (const std::int32_t failure = Failure("CreateAdminManager")) {
    return failure;
  }
  if (liveReferences == 0) {
    committed = Save();
    uncommitted = false;
  }
  manager = std::make_unique<AdminManager>(*this);
  commitPath = kApphost;  // each admin manager starts at the server level
  return 0;
}

void FakeIis::Released() {
  if (--liveReferences == 0 && committed && uncommitted) {
    const std::string configuration = std::move(*committed);
    committed.reset();
    uncommitted = false;
    Load(configuration);
  }
}

std::shared_ptr<FakeIis::Node> FakeIis::Section(const std::u16string& section, const std::u16string& path) {
  std::shared_ptr<Node>& root = sections_[{path, section}];
  if (!root) {
    root = std::make_shared<Node>();
    root->tag = SectionParts(section).back();
  }
  return root;
}

std::shared_ptr<FakeIis::Node> FakeIis::AddItem(
    const std::u16string& section, const std::string& tag,
    std::vector<std::pair<std::u16string, std::u16string>> properties, const std::u16string& path) {
  auto node = std::make_shared<Node>();
  node->tag = tag;
  node->properties = std::move(properties);
  Section(section, path)->items.push_back(node);
  return node;
}

std::shared_ptr<FakeIis::Node> FakeIis::AddSite(
    const std::u16string& name, const std::u16string& id,
    const std::vector<std::pair<std::u16string, std::u16string>>& bindings) {
  auto site = AddItem(u"system.applicationHost/sites", "site", {{u"name", name}, {u"id", id}});
  auto bindingsNode = site->Child("bindings");
  for (const auto& [protocol, information] : bindings) {
    auto binding = std::make_shared<Node>();
    binding->tag = "binding";
    binding->properties = {{u"protocol", protocol}, {u"bindingInformation", information}};
    bindingsNode->items.push_back(binding);
  }
  return site;
}

std::int32_t FakeIis::Failure(const std::string& call, const std::string& argument) const {
  if (const auto found = failing.find(call + " " + argument); !argument.empty() && found != failing.end()) {
    return found->second;
  }
  const auto found = failing.find(call);
  return found == failing.end() ? 0 : found->second;
}

std::string FakeIis::Dump() const {
  // Sections below the same path are grouped as applicationHost.config groups them; a path below
  // MACHINE/WEBROOT/APPHOST becomes a location.
  std::map<std::u16string, Group> paths;
  for (const auto& [key, root] : sections_) {
    if (root->properties.empty() && root->children.empty() && root->items.empty()) {
      continue;
    }
    Group* group = &paths[key.first];
    const std::vector<std::string> parts = SectionParts(key.second);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      group = &group->groups[parts[i]];
    }
    group->sections.push_back(root);
  }
  std::ostringstream out;
  out << "<configuration>\n";
  const std::u16string apphost = kApphost;
  for (const auto& [path, group] : paths) {
    if (path == apphost) {
      WriteGroup(out, group, 1);
      continue;
    }
    const std::u16string location = path.starts_with(apphost + u"/") ? path.substr(apphost.size() + 1) : path;
    out << "  <location path=\"" << Escaped(Narrow(location)) << "\">\n";
    WriteGroup(out, group, 2);
    out << "  </location>\n";
  }
  out << "</configuration>\n";
  return out.str();
}

namespace {

// A text of the saved configuration: tabs, line breaks and backslashes escaped, characters beyond ASCII as
// \uXXXX.
std::string SavedText(const std::u16string& text) {
  std::string saved;
  for (const char16_t c : text) {
    if (c == u'\t') {
      saved += "\\t";
    } else if (c == u'\n') {
      saved += "\\n";
    } else if (c == u'\\') {
      saved += "\\\\";
    } else if (c < 0x20 || c > 0x7E) {
      constexpr char kHex[] = "0123456789abcdef";
      saved += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) {
        saved += kHex[(c >> shift) & 0xF];
      }
    } else {
      saved += static_cast<char>(c);
    }
  }
  return saved;
}

std::u16string LoadedText(const std::string& text) {
  std::u16string loaded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      loaded += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
      continue;
    }
    const char next = text[++i];
    if (next == 't') {
      loaded += u'\t';
    } else if (next == 'n') {
      loaded += u'\n';
    } else if (next == 'u' && i + 4 < text.size()) {
      loaded += static_cast<char16_t>(std::stoul(text.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else {
      loaded += static_cast<char16_t>(next);
    }
  }
  return loaded;
}

void SaveNode(const FakeIis::Node& node, int depth, const char* kind, std::string& out) {
  out += "node\t" + std::to_string(depth) + "\t" + kind + "\t" + node.tag + "\n";
  for (const auto& [name, value] : node.properties) {
    out += "property\t" + SavedText(name) + "\t" + SavedText(value);
    if (const auto type = node.types.find(Lower(name)); type != node.types.end()) {
      out += "\t" + type->second;
    }
    out += "\n";
  }
  for (const auto& child : node.children) {
    SaveNode(*child, depth + 1, "child", out);
  }
  for (const auto& item : node.items) {
    SaveNode(*item, depth + 1, "item", out);
  }
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab = line.find('\t');; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) {
      return fields;
    }
    start = tab + 1;
  }
}

}  // namespace

std::int32_t FakeIis::DeleteLocation(const std::u16string& path) {
  uncommitted = true;
  const std::size_t before = sections_.size();
  std::erase_if(sections_, [&path](const auto& section) {
    const std::u16string& at = section.first.first;
    return at == path || at.starts_with(path + u"/");
  });
  constexpr auto kInvalidIndex = static_cast<std::int32_t>(0x80070585U);  // ERROR_INVALID_INDEX
  return sections_.size() == before ? kInvalidIndex : 0;
}

std::int32_t FakeIis::FindLocation(const std::u16string& path) const {
  const bool found = std::any_of(sections_.begin(), sections_.end(), [&path](const auto& section) {
    const std::u16string& at = section.first.first;
    return (at == path || at.starts_with(path + u"/")) && !Empty(*section.second);
  });
  constexpr auto kInvalidIndex = static_cast<std::int32_t>(0x80070585U);  // ERROR_INVALID_INDEX
  return found ? 0 : kInvalidIndex;
}

std::string FakeIis::Save() const {
  std::string out;
  for (const auto& [key, root] : sections_) {
    out += "section\t" + SavedText(key.first) + "\t" + SavedText(key.second) + "\n";
    SaveNode(*root, 0, "root", out);
  }
  return out;
}

void FakeIis::Load(const std::string& text) {
  sections_.clear();
  std::vector<std::shared_ptr<Node>> open;  // the nodes from the root down to the last one read
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::vector<std::string> fields = Fields(text.substr(start, end - start));
    start = end + 1;
    if (fields[0] == "section" && fields.size() == 3) {
      auto root = std::make_shared<Node>();
      sections_[{LoadedText(fields[1]), LoadedText(fields[2])}] = root;
      open = {root};
    } else if (fields[0] == "node" && fields.size() == 4 && !open.empty()) {
      const auto depth = static_cast<std::size_t>(std::stoul(fields[1]));
      if (depth == 0) {
        open.front()->tag = fields[3];
        continue;
      }
      auto node = std::make_shared<Node>();
      node->tag = fields[3];
      open.resize(depth);
      (fields[2] == "child" ? open.back()->children : open.back()->items).push_back(node);
      open.push_back(node);
    } else if (fields[0] == "property" && (fields.size() == 3 || fields.size() == 4) && !open.empty()) {
      open.back()->properties.emplace_back(LoadedText(fields[1]), LoadedText(fields[2]));
      if (fields.size() == 4) {
        open.back()->types[Lower(LoadedText(fields[1]))] = fields[3];
      }
    }
  }
}
