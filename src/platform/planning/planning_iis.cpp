#include "platform/planning/planning_iis.h"

namespace {

constexpr std::int32_t kOk = 0;
constexpr std::u16string_view kState = u"state";

using States = std::map<std::u16string, std::u16string>;

std::unique_ptr<IisElement> Wrapped(std::unique_ptr<IisElement> inner, States& states);

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
  PlannedChildren(std::unique_ptr<IisChildElementCollection> inner, States& states)
      : inner_(std::move(inner)), states_(states) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->Item(name, element);
    element = Wrapped(std::move(element), states_);
    return result;
  }
  std::int32_t Count(std::uint32_t& count) override { return inner_->Count(count); }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->ItemAt(position, element);
    element = Wrapped(std::move(element), states_);
    return result;
  }

 private:
  std::unique_ptr<IisChildElementCollection> inner_;
  States& states_;
};

class PlannedElement;

class PlannedCollection final : public IisElementCollection {
 public:
  PlannedCollection(std::unique_ptr<IisElementCollection> inner, States& states)
      : inner_(std::move(inner)), states_(states) {}
  std::int32_t Count(std::uint32_t& count) override { return inner_->Count(count); }
  std::int32_t Item(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->Item(position, element);
    element = Wrapped(std::move(element), states_);
    return result;
  }
  std::int32_t AddElement(IisElement& element, std::int32_t position) override;
  std::int32_t DeleteElement(std::uint32_t position) override { return inner_->DeleteElement(position); }
  std::int32_t Clear() override { return inner_->Clear(); }
  std::int32_t CreateNewElement(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->CreateNewElement(name, element);
    element = Wrapped(std::move(element), states_);
    return result;
  }

 private:
  std::unique_ptr<IisElementCollection> inner_;
  States& states_;
};

class PlannedElement final : public IisElement {
 public:
  PlannedElement(std::unique_ptr<IisElement> inner, States& states)
      : inner_(std::move(inner)), states_(states) {}
  IisElement& Inner() { return *inner_; }
  std::int32_t Name(std::u16string& name) override { return inner_->Name(name); }
  std::int32_t Collection(std::unique_ptr<IisElementCollection>& collection) override {
    std::unique_ptr<IisElementCollection> real;
    const std::int32_t result = inner_->Collection(real);
    collection = real ? std::make_unique<PlannedCollection>(std::move(real), states_) : nullptr;
    return result;
  }
  std::int32_t Properties(std::unique_ptr<IisPropertyCollection>& properties) override {
    return inner_->Properties(properties);
  }
  std::int32_t ChildElements(std::unique_ptr<IisChildElementCollection>& children) override {
    std::unique_ptr<IisChildElementCollection> real;
    const std::int32_t result = inner_->ChildElements(real);
    children = real ? std::make_unique<PlannedChildren>(std::move(real), states_) : nullptr;
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
    element = Wrapped(std::move(element), states_);
    return result;
  }
  std::int32_t PropertyByName(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    if (name == kState) {
      if (const auto planned = states_.find(OwnName()); planned != states_.end()) {
        property = std::make_unique<PlannedState>(planned->second);
        return kOk;
      }
    }
    return inner_->PropertyByName(name, property);
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
  States& states_;
};

std::int32_t PlannedCollection::AddElement(IisElement& element, std::int32_t position) {
  auto* planned = dynamic_cast<PlannedElement*>(&element);
  return inner_->AddElement(planned != nullptr ? planned->Inner() : element, position);
}

std::unique_ptr<IisElement> Wrapped(std::unique_ptr<IisElement> inner, States& states) {
  return inner ? std::make_unique<PlannedElement>(std::move(inner), states) : nullptr;
}

class PlannedManager final : public IisAdminManager {
 public:
  PlannedManager(std::unique_ptr<IisAdminManager> inner, States& states)
      : inner_(std::move(inner)), states_(states) {}
  std::int32_t AdminSection(std::u16string_view section, std::u16string_view path,
                            std::unique_ptr<IisElement>& element) override {
    const std::int32_t result = inner_->AdminSection(section, path, element);
    element = Wrapped(std::move(element), states_);
    return result;
  }
  std::int32_t CommitChanges() override { return kOk; }
  std::int32_t CommitPath(std::u16string& path) override { return inner_->CommitPath(path); }
  std::int32_t SetCommitPath(std::u16string_view path) override { return inner_->SetCommitPath(path); }
  std::int32_t DeleteLocation(std::u16string_view /*configPath*/, std::u16string_view /*location*/) override {
    return kOk;
  }
  std::int32_t FindLocation(std::u16string_view configPath, std::u16string_view location) override {
    return inner_->FindLocation(configPath, location);
  }

 private:
  std::unique_ptr<IisAdminManager> inner_;
  States& states_;
};

}  // namespace

std::int32_t PlanningIis::CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) {
  std::unique_ptr<IisAdminManager> real;
  const std::int32_t result = real_.CreateAdminManager(real);
  manager = real ? std::make_unique<PlannedManager>(std::move(real), states) : nullptr;
  return result;
}
