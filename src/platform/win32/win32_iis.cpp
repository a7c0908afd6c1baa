#include "platform/win32/win32_iis.h"

#include <windows.h>

#include <wrl/client.h>

#include "platform/win32/com_text.h"
#include "platform/win32/iis_admin_interfaces.h"

using Microsoft::WRL::ComPtr;

namespace {

// A variant index of a collection: a position (VT_I4) or a name (VT_BSTR, owned by the index).
class Index {
 public:
  explicit Index(std::uint32_t position) {
    value_.vt = VT_I4;
    value_.lVal = static_cast<LONG>(position);
  }
  explicit Index(std::u16string_view name) : name_(WideToBstr(name)) {
    value_.vt = VT_BSTR;
    value_.bstrVal = name_.get();
  }
  // False when the name could not be allocated.
  bool Valid() const { return value_.vt != VT_BSTR || name_; }
  const VARIANT& get() const { return value_; }

 private:
  unique_bstr name_;
  VARIANT value_{};
};

// The text a get_Name call hands out.
template <typename Interface>
std::int32_t NameOf(Interface& object, std::u16string& name) {
  BSTR text = nullptr;
  const HRESULT result = object.get_Name(&text);
  const unique_bstr owned(text);
  if (SUCCEEDED(result)) {
    name = BstrToWide(owned.get());
  }
  return result;
}

// The count a get_Count call hands out (0 when it fails).
template <typename Interface>
std::int32_t CountOf(Interface& object, std::uint32_t& count) {
  DWORD value = 0;
  const HRESULT result = object.get_Count(&value);
  count = SUCCEEDED(result) ? value : 0;
  return result;
}

// Wraps the reference that a call put into `pointer` when it succeeded.
template <typename Port, typename Adapter, typename Interface>
std::int32_t Wrap(HRESULT result, ComPtr<Interface>& pointer, std::unique_ptr<Port>& out) {
  if (SUCCEEDED(result) && pointer) {
    out = std::make_unique<Adapter>(std::move(pointer));
  }
  return result;
}

class Win32IisProperty final : public IisProperty {
 public:
  explicit Win32IisProperty(ComPtr<IAppHostProperty> property) : property_(std::move(property)) {}
  std::int32_t PutValue(const IisValue& value) override {
    const auto* textValue = std::get_if<std::u16string>(&value);
    const unique_bstr text = textValue != nullptr ? WideToBstr(*textValue) : unique_bstr();
    VARIANT variant{};
    if (textValue != nullptr) {
      if (!text) {
        return E_OUTOFMEMORY;
      }
      variant.vt = VT_BSTR;
      variant.bstrVal = text.get();
    } else if (const auto* flag = std::get_if<bool>(&value)) {
      variant.vt = VT_BOOL;
      variant.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* int16 = std::get_if<std::int16_t>(&value)) {
      variant.vt = VT_I2;
      variant.iVal = *int16;
    } else if (const auto* int32 = std::get_if<std::int32_t>(&value)) {
      variant.vt = VT_I4;
      variant.lVal = *int32;
    } else if (const auto* uint32 = std::get_if<std::uint32_t>(&value)) {
      variant.vt = VT_UI4;
      variant.ulVal = *uint32;
    } else if (const auto* int64 = std::get_if<std::int64_t>(&value)) {
      variant.vt = VT_I8;
      variant.llVal = *int64;
    } else {
      variant.vt = VT_UI8;
      variant.ullVal = std::get<std::uint64_t>(value);
    }
    return property_->put_Value(variant);
  }
  std::int32_t Value(IisValue& value) override {
    unique_variant variant;
    const HRESULT result = property_->get_Value(variant.get());
    if (FAILED(result)) {
      return result;
    }
    const VARIANT& held = *variant;
    switch (held.vt) {
      case VT_BSTR:
        value = BstrToWide(held.bstrVal);
        return result;
      case VT_BOOL:
        value = held.boolVal != VARIANT_FALSE;
        return result;
      case VT_I2:
        value = held.iVal;
        return result;
      case VT_I4:
        value = static_cast<std::int32_t>(held.lVal);
        return result;
      case VT_UI4:
        value = static_cast<std::uint32_t>(held.ulVal);
        return result;
      case VT_I8:
        value = static_cast<std::int64_t>(held.llVal);
        return result;
      case VT_UI8:
        value = static_cast<std::uint64_t>(held.ullVal);
        return result;
      default:
        return DISP_E_TYPEMISMATCH;
    }
  }
  std::int32_t Name(std::u16string& name) override { return NameOf(*property_.Get(), name); }
  std::int32_t StringValue(std::u16string& value) override {
    BSTR text = nullptr;
    const HRESULT result = property_->get_StringValue(&text);
    const unique_bstr owned(text);
    if (SUCCEEDED(result)) {
      value = BstrToWide(owned.get());
    }
    return result;
  }
  std::int32_t IsDefault(bool& isDefault) override {
    const unique_bstr name = WideToBstr(u"isDefaultValue");
    if (!name) {
      return E_OUTOFMEMORY;
    }
    unique_variant flag;
    const HRESULT result = property_->GetMetadata(name.get(), flag.get());
    if (SUCCEEDED(result)) {
      if ((*flag).vt != VT_BOOL) {
        return DISP_E_TYPEMISMATCH;
      }
      isDefault = (*flag).boolVal != VARIANT_FALSE;
    }
    return result;
  }
  std::int32_t Clear() override { return property_->Clear(); }
  std::int32_t IsEncrypted(bool& encrypted) override {
    ComPtr<IAppHostPropertySchema> schema;
    HRESULT result = property_->get_Schema(schema.GetAddressOf());
    if (FAILED(result) || !schema) {
      return FAILED(result) ? result : E_POINTER;
    }
    VARIANT_BOOL flag = VARIANT_FALSE;
    result = schema->get_IsEncrypted(&flag);
    if (SUCCEEDED(result)) {
      encrypted = flag != VARIANT_FALSE;
    }
    return result;
  }

 private:
  ComPtr<IAppHostProperty> property_;
};

class Win32IisPropertyCollection final : public IisPropertyCollection {
 public:
  explicit Win32IisPropertyCollection(ComPtr<IAppHostPropertyCollection> properties)
      : properties_(std::move(properties)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    const Index index(name);
    if (!index.Valid()) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostProperty> found;
    return Wrap<IisProperty, Win32IisProperty>(properties_->get_Item(index.get(), found.GetAddressOf()),
                                               found, property);
  }
  std::int32_t Count(std::uint32_t& count) override { return CountOf(*properties_.Get(), count); }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisProperty>& property) override {
    ComPtr<IAppHostProperty> found;
    return Wrap<IisProperty, Win32IisProperty>(
        properties_->get_Item(Index(position).get(), found.GetAddressOf()), found, property);
  }

 private:
  ComPtr<IAppHostPropertyCollection> properties_;
};

class Win32IisMethodInstance final : public IisMethodInstance {
 public:
  explicit Win32IisMethodInstance(ComPtr<IAppHostMethodInstance> instance) : instance_(std::move(instance)) {}
  std::int32_t Execute() override { return instance_->Execute(); }

 private:
  ComPtr<IAppHostMethodInstance> instance_;
};

class Win32IisMethod final : public IisMethod {
 public:
  explicit Win32IisMethod(ComPtr<IAppHostMethod> method) : method_(std::move(method)) {}
  std::int32_t CreateInstance(std::unique_ptr<IisMethodInstance>& instance) override {
    ComPtr<IAppHostMethodInstance> created;
    return Wrap<IisMethodInstance, Win32IisMethodInstance>(method_->CreateInstance(created.GetAddressOf()),
                                                           created, instance);
  }

 private:
  ComPtr<IAppHostMethod> method_;
};

class Win32IisMethodCollection final : public IisMethodCollection {
 public:
  explicit Win32IisMethodCollection(ComPtr<IAppHostMethodCollection> methods)
      : methods_(std::move(methods)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisMethod>& method) override {
    const Index index(name);
    if (!index.Valid()) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostMethod> found;
    return Wrap<IisMethod, Win32IisMethod>(methods_->get_Item(index.get(), found.GetAddressOf()), found,
                                           method);
  }

 private:
  ComPtr<IAppHostMethodCollection> methods_;
};

class Win32IisElement final : public IisElement {
 public:
  explicit Win32IisElement(ComPtr<IAppHostElement> element) : element_(std::move(element)) {}
  IAppHostElement* get() const { return element_.Get(); }

  std::int32_t Name(std::u16string& name) override { return NameOf(*element_.Get(), name); }
  std::int32_t Collection(std::unique_ptr<IisElementCollection>& collection) override;
  std::int32_t Properties(std::unique_ptr<IisPropertyCollection>& properties) override {
    ComPtr<IAppHostPropertyCollection> found;
    return Wrap<IisPropertyCollection, Win32IisPropertyCollection>(
        element_->get_Properties(found.GetAddressOf()), found, properties);
  }
  std::int32_t ChildElements(std::unique_ptr<IisChildElementCollection>& children) override;
  std::int32_t Methods(std::unique_ptr<IisMethodCollection>& methods) override {
    ComPtr<IAppHostMethodCollection> found;
    return Wrap<IisMethodCollection, Win32IisMethodCollection>(element_->get_Methods(found.GetAddressOf()),
                                                               found, methods);
  }
  std::int32_t ElementByName(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const unique_bstr text = WideToBstr(name);
    if (!text) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostElement> found;
    return Wrap<IisElement, Win32IisElement>(element_->GetElementByName(text.get(), found.GetAddressOf()),
                                             found, element);
  }
  std::int32_t PropertyByName(std::u16string_view name, std::unique_ptr<IisProperty>& property) override {
    const unique_bstr text = WideToBstr(name);
    if (!text) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostProperty> found;
    return Wrap<IisProperty, Win32IisProperty>(element_->GetPropertyByName(text.get(), found.GetAddressOf()),
                                               found, property);
  }

 private:
  ComPtr<IAppHostElement> element_;
};

class Win32IisElementCollection final : public IisElementCollection {
 public:
  explicit Win32IisElementCollection(ComPtr<IAppHostElementCollection> collection)
      : collection_(std::move(collection)) {}
  std::int32_t Count(std::uint32_t& count) override { return CountOf(*collection_.Get(), count); }
  std::int32_t Item(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    ComPtr<IAppHostElement> found;
    return Wrap<IisElement, Win32IisElement>(
        collection_->get_Item(Index(position).get(), found.GetAddressOf()), found, element);
  }
  std::int32_t AddElement(IisElement& element, std::int32_t position) override {
    // Only an element of this adapter can be added: the collection takes its COM reference.
    auto* own = dynamic_cast<Win32IisElement*>(&element);
    if (own == nullptr) {
      return E_INVALIDARG;
    }
    return collection_->AddElement(own->get(), position);
  }
  std::int32_t DeleteElement(std::uint32_t position) override {
    return collection_->DeleteElement(Index(position).get());
  }
  std::int32_t Clear() override { return collection_->Clear(); }
  std::int32_t CreateNewElement(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const unique_bstr text = WideToBstr(name);
    if (!text) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostElement> created;
    return Wrap<IisElement, Win32IisElement>(
        collection_->CreateNewElement(text.get(), created.GetAddressOf()), created, element);
  }

 private:
  ComPtr<IAppHostElementCollection> collection_;
};

class Win32IisChildElementCollection final : public IisChildElementCollection {
 public:
  explicit Win32IisChildElementCollection(ComPtr<IAppHostChildElementCollection> children)
      : children_(std::move(children)) {}
  std::int32_t Item(std::u16string_view name, std::unique_ptr<IisElement>& element) override {
    const Index index(name);
    if (!index.Valid()) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostElement> found;
    return Wrap<IisElement, Win32IisElement>(children_->get_Item(index.get(), found.GetAddressOf()), found,
                                             element);
  }
  std::int32_t Count(std::uint32_t& count) override { return CountOf(*children_.Get(), count); }
  std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisElement>& element) override {
    ComPtr<IAppHostElement> found;
    return Wrap<IisElement, Win32IisElement>(children_->get_Item(Index(position).get(), found.GetAddressOf()),
                                             found, element);
  }

 private:
  ComPtr<IAppHostChildElementCollection> children_;
};

std::int32_t Win32IisElement::Collection(std::unique_ptr<IisElementCollection>& collection) {
  ComPtr<IAppHostElementCollection> found;
  return Wrap<IisElementCollection, Win32IisElementCollection>(element_->get_Collection(found.GetAddressOf()),
                                                               found, collection);
}

std::int32_t Win32IisElement::ChildElements(std::unique_ptr<IisChildElementCollection>& children) {
  ComPtr<IAppHostChildElementCollection> found;
  return Wrap<IisChildElementCollection, Win32IisChildElementCollection>(
      element_->get_ChildElements(found.GetAddressOf()), found, children);
}

class Win32IisAdminManager final : public IisAdminManager {
 public:
  explicit Win32IisAdminManager(ComPtr<IAppHostWritableAdminManager> manager)
      : manager_(std::move(manager)) {}
  std::int32_t AdminSection(std::u16string_view section, std::u16string_view path,
                            std::unique_ptr<IisElement>& element) override {
    const unique_bstr sectionText = WideToBstr(section);
    const unique_bstr pathText = WideToBstr(path);
    if (!sectionText || !pathText) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostElement> found;
    return Wrap<IisElement, Win32IisElement>(
        manager_->GetAdminSection(sectionText.get(), pathText.get(), found.GetAddressOf()), found, element);
  }
  std::int32_t CommitChanges() override { return manager_->CommitChanges(); }
  std::int32_t CommitPath(std::u16string& path) override {
    BSTR text = nullptr;
    const HRESULT result = manager_->get_CommitPath(&text);
    const unique_bstr owned(text);
    if (SUCCEEDED(result)) {
      path = BstrToWide(owned.get());
    }
    return result;
  }
  std::int32_t SetCommitPath(std::u16string_view path) override {
    const unique_bstr text = WideToBstr(path);
    if (!text) {
      return E_OUTOFMEMORY;
    }
    return manager_->put_CommitPath(text.get());
  }
  std::int32_t DeleteLocation(std::u16string_view configPath, std::u16string_view location) override {
    const Index index(location);
    ComPtr<IAppHostConfigLocationCollection> locations;
    if (!index.Valid()) {
      return E_OUTOFMEMORY;
    }
    const HRESULT result = Locations(configPath, locations);
    return FAILED(result) ? result : locations->DeleteLocation(index.get());
  }
  std::int32_t FindLocation(std::u16string_view configPath, std::u16string_view location) override {
    const Index index(location);
    ComPtr<IAppHostConfigLocationCollection> locations;
    if (!index.Valid()) {
      return E_OUTOFMEMORY;
    }
    HRESULT result = Locations(configPath, locations);
    if (FAILED(result)) {
      return result;
    }
    ComPtr<IAppHostConfigLocation> found;
    result = locations->get_Item(index.get(), found.GetAddressOf());
    return SUCCEEDED(result) && !found ? E_POINTER : result;
  }

 private:
  // The locations of the configuration file of `configPath` (get_ConfigManager, GetConfigFile,
  // get_Locations).
  HRESULT Locations(std::u16string_view configPath, ComPtr<IAppHostConfigLocationCollection>& locations) {
    const unique_bstr pathText = WideToBstr(configPath);
    if (!pathText) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IAppHostConfigManager> configManager;
    HRESULT result = manager_->get_ConfigManager(configManager.GetAddressOf());
    if (FAILED(result) || !configManager) {
      return FAILED(result) ? result : E_POINTER;
    }
    ComPtr<IAppHostConfigFile> file;
    result = configManager->GetConfigFile(pathText.get(), file.GetAddressOf());
    if (FAILED(result) || !file) {
      return FAILED(result) ? result : E_POINTER;
    }
    result = file->get_Locations(locations.GetAddressOf());
    return SUCCEEDED(result) && !locations ? E_POINTER : result;
  }

  ComPtr<IAppHostWritableAdminManager> manager_;
};

}  // namespace

std::int32_t Win32Iis::CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) {
  ComPtr<IAppHostWritableAdminManager> created;
  const HRESULT result = CoCreateInstance(kAppHostWritableAdminManagerClass, nullptr, CLSCTX_INPROC_SERVER,
                                          kAppHostWritableAdminManagerInterface,
                                          reinterpret_cast<void**>(created.GetAddressOf()));
  return Wrap<IisAdminManager, Win32IisAdminManager>(result, created, manager);
}
