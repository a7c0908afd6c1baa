#include "platform/planning/planning_iis.h"

namespace {

constexpr std::int32_t kOk = 0;
constexpr std::u16string_view kState = u"state";

using States = std::map<std::u16string, std::u16string>;
using Change = PlanningIis::Change;

// Where an element lies, and whether the run made it (its settings are part of its adding).
struct Place {
  PlanningIis* iis = nullptr;
  std::u16string section;
  std::u16string path;
  bool fresh = false;
  // The name of the nearest element above that has one (a pool's, for its processModel).
  std::u16string owner;
};

std::unique_ptr<IisElement> Wrapped(std::unique_ptr<IisElement> inner, const Place& place);

// What tells an element from its siblings: its "name", else a binding's information or a restriction's
// path.
std::u16string NameOf(IisElement& element) {
  for (const std::u16string_view property : {u"name", u"bindingInformation", u"path"}) {
    std::unique_ptr<IisProperty> found;
    std::u16string text;
    if (element.PropertyByName(property, found) >= 0 && found && found->StringValue(text) >= 0 &&
        !text.empty()) {
      return text;
    }
  }
  return {};
}

std::u16string TagOf(IisElement& element) {
  std::u16string tag;
  return element.Name(tag) >= 0 ? tag : std::u16string();
}

// A property of an element that was there: what it is set to is a change of the run.
class PlannedProperty final : public IisProperty {
 public:
  PlannedProperty(std::unique_ptr<IisProperty> inner, Change change, PlanningIis& iis)
      : inner_(std::move(inner)), change_(std::move(change)), iis_(iis) {}
  std::int32_t PutValue(const IisValue& value) override {
    const std::int32_t result = inner_->PutValue(value);
    if (result >= 0) {
      iis_.changes.push_back(change_);
    }
    return result;
  }
  std::int32_t Value(IisValue& value) override { return inner_->Value(value); }
  std::int32_t Name(std::u16string& name) override { return inner_->Name(name); }
  std::int32_t StringValue(std::u16string& value) override { return inner_->StringValue(value); }
  std::int32_t IsDefault(bool& isDefault) override { return inner_->IsDefault(isDefault); }
  std::int32_t Clear() override {
    const std::int32_t result = inner_->Clear();
    if (result >= 0) {
      iis_.changes.push_back(change_);
    }
    return result;
  }
  std::int32_t IsEncrypted(bool& encrypted) override { return inner_->IsEncrypted(encrypted); }

 private:
  std::unique_ptr<IisProperty> inner_;
  Change change_;
  PlanningIis& iis_;
};

// The properties of an element that was there, reached through its collection: each one set is a change
// of the run, as one reached by name is.
class PlannedProperties final : public IisPropertyCollection {
 public:
  PlannedProperties(std::unique_ptr<IisPropertyCollection> inner, Change element, PlanningIis& iis)
      : inner_(std::move(inner)), element_(std::move(element)), iis_(iis) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    const std::int32_t result = inner_->Item(name, property);
    Plan(property);
    return result;
  }
  std::int32_t Count(std::uint32_t& count) override { return inner_->Count(count); }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisProperty>& property) override {
    const std::int32_t result = inner_->ItemAt(position, property);
    Plan(property);
    return result;
  }

 private:
  void Plan(std::unique_ptr<IisProperty>& property) {
    std::u16string name;
    if (property && property->Name(name) >= 0) {
      Change change = element_;
      change.property = std::move(name);
      property = std::make_unique<PlannedProperty>(std::move(property), std::move(change), iis_);
    }
  }
  std::unique_ptr<IisPropertyCollection> inner_;
  Change element_;
  PlanningIis& iis_;
};

// A property that reads as the state a method of the run left its element in.
class PlannedState final : public IisProperty {
 public:
  explicit PlannedState(std::u16string state) : state_(std::move(state)) {}
  std::int32_t PutValue(const IisValue& /*value*/) override { return kOk; }
  std::int32_t Value(IisValue& value) override {
    value = state_;
    return kOk;
  }
  std::int32_t Name(std::u16string& name) override {
    name = kState;
    return kOk;
  }
  std::int32_t StringValue(std::u16string& value) override {
    value = state_;
    return kOk;
  }
  std::int32_t IsDefault(bool& isDefault) override {
    isDefault = false;
    return kOk;
  }
  std::int32_t Clear() override { return kOk; }
  std::int32_t IsEncrypted(bool& encrypted) override {
    encrypted = false;
    return kOk;
  }

 private:
  std::u16string state_;
};

// A method that is not run: "Stop" and "Start" leave their element's state as they would.
class PlannedMethodInstance final : public IisMethodInstance {
 public:
  PlannedMethodInstance(std::u16string element, std::u16string method, States& states)
      : element_(std::move(element)), method_(std::move(method)), states_(states) {}
  std::int32_t Execute() override {
    if (method_ == u"Stop") {
      states_[element_] = u"Stopped";
    } else if (method_ == u"Start") {
      states_[element_] = u"Started";
    }
    return kOk;
  }

 private:
  std::u16string element_;
  std::u16string method_;
  States& states_;
};

class PlannedMethod final : public IisMethod {
 public:
  PlannedMethod(std::u16string element, std::u16string method, States& states)
      : element_(std::move(element)), method_(std::move(method)), states_(states) {}
  std::int32_t CreateInstance(std::unique_ptr<IisMethodInstance>& instance) override {
    instance = std::make_unique<PlannedMethodInstance>(element_, method_, states_);
    return kOk;
  }

 private:
  std::u16string element_;
  std::u16string method_;
  States& states_;
};

class PlannedMethods final : public IisMethodCollection {
 public:
  PlannedMethods(std::unique_ptr<IisMethodCollection> inner, std::u16string element, States& states)
      : inner_(std::move(inner)), element_(std::move(element)), states_(states) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisMethod>& method) override {
    // The method must exist on the element, as it would have to for the run.
    std::unique_ptr<IisMethod> real;
    const std::int32_t found = inner_->Item(name, real);
    if (found < 0 || !real) {
      return found < 0 ? found : -1;
    }
    method = std::make_unique<PlannedMethod>(element_, std::u16string(name), states_);
    return kOk;
  }

 private:
  std::unique_ptr<IisMethodCollection> inner_;
  std::u16string element_;
  States& states_;
};

class PlannedChildren final : public IisChildElementCollection {
 public:
  PlannedChildren(std::unique_ptr<IisChildElementCollection> inner, Place place)
      : inner_(std::move(inner)), place_(std::move(place)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->Item(name, element);
    element = Wrapped(std::move(element), place_);
    return result;
  }
  std::int32_t Count(std::uint32_t& count) override { return inner_->Count(count); }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->ItemAt(position, element);
    element = Wrapped(std::move(element), place_);
    return result;
  }

 private:
  std::unique_ptr<IisChildElementCollection> inner_;
  Place place_;
};

class PlannedElement;

class PlannedCollection final : public IisElementCollection {
 public:
  PlannedCollection(std::unique_ptr<IisElementCollection> inner, Place place, std::u16string ownerTag)
      : inner_(std::move(inner)), place_(std::move(place)), ownerTag_(std::move(ownerTag)) {}
  std::int32_t Count(std::uint32_t& count) override { return inner_->Count(count); }
  std::int32_t Item(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->Item(position, element);
    element = Wrapped(std::move(element), place_);
    return result;
  }
  std::int32_t AddElement(IisElement& element, std::int32_t position) override;
  std::int32_t DeleteElement(std::uint32_t position) override {
    std::unique_ptr<IisElement> going;
    inner_->Item(position, going);
    const std::int32_t result = inner_->DeleteElement(position);
    if (result >= 0 && !place_.fresh) {
      Record(going ? TagOf(*going) : std::u16string(), going ? NameOf(*going) : std::u16string(),
             Change::What::remove);
    }
    return result;
  }
  std::int32_t Clear() override {
    const std::int32_t result = inner_->Clear();
    if (result >= 0 && !place_.fresh) {
      Record(ownerTag_, {}, Change::What::clear);
    }
    return result;
  }
  std::int32_t CreateNewElement(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->CreateNewElement(name, element);
    Place fresh = place_;
    fresh.fresh = true;
    element = Wrapped(std::move(element), fresh);
    return result;
  }
  void Record(std::u16string tag, std::u16string name, Change::What what) {
    place_.iis->changes.push_back({place_.section, place_.path, std::move(tag), std::move(name), {}, what});
  }

 private:
  std::unique_ptr<IisElementCollection> inner_;
  Place place_;
  std::u16string ownerTag_;
};

class PlannedElement final : public IisElement {
 public:
  PlannedElement(std::unique_ptr<IisElement> inner, Place place)
      : inner_(std::move(inner)), place_(std::move(place)), states_(place_.iis->states) {}
  // The place of what lies below: named after this element when it has a name.
  Place Below() {
    Place below = place_;
    if (std::u16string name = NameOf(*inner_); !name.empty()) {
      below.owner = std::move(name);
    }
    return below;
  }
  // What tells this element: its own name, else its owner's and its tag.
  std::u16string Told() {
    const std::u16string name = NameOf(*inner_);
    return !name.empty() || place_.owner.empty() ? name : place_.owner + u" " + TagOf(*inner_);
  }
  IisElement& Inner() { return *inner_; }
  std::int32_t Name(std::u16string& name) override { return inner_->Name(name); }
  std::int32_t Collection(std::unique_ptr<IisElementCollection>& collection) override {
    std::unique_ptr<IisElementCollection> real;
    const std::int32_t result = inner_->Collection(real);
    collection =
        real ? std::make_unique<PlannedCollection>(std::move(real), Below(), TagOf(*inner_)) : nullptr;
    return result;
  }
  std::int32_t Properties(std::unique_ptr<IisPropertyCollection>& properties) override {
    const std::int32_t result = inner_->Properties(properties);
    // The properties of an element the run made are part of its adding.
    if (properties && !place_.fresh) {
      properties = std::make_unique<PlannedProperties>(
          std::move(properties),
          Change{place_.section, place_.path, TagOf(*inner_), Told(), {}, Change::What::set}, *place_.iis);
    }
    return result;
  }
  std::int32_t ChildElements(std::unique_ptr<IisChildElementCollection>& children) override {
    std::unique_ptr<IisChildElementCollection> real;
    const std::int32_t result = inner_->ChildElements(real);
    children = real ? std::make_unique<PlannedChildren>(std::move(real), Below()) : nullptr;
    return result;
  }
  std::int32_t Methods(std::unique_ptr<IisMethodCollection>& methods) override {
    std::unique_ptr<IisMethodCollection> real;
    const std::int32_t result = inner_->Methods(real);
    methods = real ? std::make_unique<PlannedMethods>(std::move(real), OwnName(), states_) : nullptr;
    return result;
  }
  std::int32_t ElementByName(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->ElementByName(name, element);
    element = Wrapped(std::move(element), Below());
    return result;
  }
  std::int32_t PropertyByName(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    if (name == kState) {
      if (const auto planned = states_.find(OwnName()); planned != states_.end()) {
        property = std::make_unique<PlannedState>(planned->second);
        return kOk;
      }
    }
    const std::int32_t result = inner_->PropertyByName(name, property);
    // A property of an element the run made is part of its adding.
    if (property && !place_.fresh) {
      property = std::make_unique<PlannedProperty>(std::move(property),
                                                   Change{place_.section, place_.path, TagOf(*inner_), Told(),
                                                          std::u16string(name), Change::What::set},
                                                   *place_.iis);
    }
    return result;
  }

 private:
  // The element's "name" property: a pool's or a site's name.
  std::u16string OwnName() {
    std::unique_ptr<IisProperty> property;
    std::u16string name;
    if (inner_->PropertyByName(u"name", property) < 0 || !property || property->StringValue(name) < 0) {
      return {};
    }
    return name;
  }

  std::unique_ptr<IisElement> inner_;
  Place place_;
  States& states_;
};

std::int32_t PlannedCollection::AddElement(IisElement& element, std::int32_t position) {
  auto* planned = dynamic_cast<PlannedElement*>(&element);
  IisElement& inner = planned != nullptr ? planned->Inner() : element;
  const std::int32_t result = inner_->AddElement(inner, position);
  if (result >= 0 && !place_.fresh) {
    Record(TagOf(inner), NameOf(inner), Change::What::add);
  }
  return result;
}

std::unique_ptr<IisElement> Wrapped(std::unique_ptr<IisElement> inner, const Place& place) {
  return inner ? std::make_unique<PlannedElement>(std::move(inner), place) : nullptr;
}

class PlannedManager final : public IisAdminManager {
 public:
  PlannedManager(std::unique_ptr<IisAdminManager> inner, PlanningIis& iis)
      : inner_(std::move(inner)), iis_(iis) {}
  std::int32_t AdminSection(std::u16string_view section, std::u16string_view path,
                            std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->AdminSection(section, path, element);
    element =
        Wrapped(std::move(element), Place{&iis_, std::u16string(section), std::u16string(path), false, {}});
    return result;
  }
  std::int32_t CommitChanges() override { return kOk; }
  std::int32_t CommitPath(std::u16string& path) override { return inner_->CommitPath(path); }
  std::int32_t SetCommitPath(std::u16string_view path) override { return inner_->SetCommitPath(path); }
  std::int32_t DeleteLocation(std::u16string_view configPath, std::u16string_view location) override {
    iis_.changes.push_back({{},
                            std::u16string(configPath),
                            u"location",
                            std::u16string(location),
                            {},
                            Change::What::removeLocation});
    return kOk;
  }
  std::int32_t FindLocation(std::u16string_view configPath, std::u16string_view location) override {
    return inner_->FindLocation(configPath, location);
  }

 private:
  std::unique_ptr<IisAdminManager> inner_;
  PlanningIis& iis_;
};

}  // namespace

std::int32_t PlanningIis::CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) {
  std::unique_ptr<IisAdminManager> real;
  const std::int32_t result = real_.CreateAdminManager(real);
  manager = real ? std::make_unique<PlannedManager>(std::move(real), *this) : nullptr;
  return result;
}
