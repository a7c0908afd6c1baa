// The IIS administration manager of the tests, for a Wine prefix where no IIS exists: an in-process COM
// server registered under the admin manager's class that serves the setup's IIS calls from the same
// in-memory configuration as the host tests (FakeIis), starting, as a fresh IIS does, with the site
// "Default Web Site" (id 1, http on *:80:). At each commit it writes the whole configuration as
// "applicationHost.config" beside this DLL and appends the commit path to "commits.log" there.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "fake_iis.h"
#include "platform/win32/iis_admin_interfaces.h"

namespace {

HMODULE module = nullptr;

std::filesystem::path BesideThisDll(const wchar_t* name);

// The configuration that runs before this one committed, kept beside the DLL; a fresh one has the
// Default Web Site on port 80.
FakeIis& Configuration() {
  static FakeIis* iis = [] {
    auto* made = new FakeIis;  // lives as long as the process
    std::ifstream saved(BesideThisDll(L"configuration.txt"), std::ios::binary);
    if (saved) {
      std::ostringstream text;
      text << saved.rdbuf();
      made->Load(text.str());
      return made;
    }
    auto site = made->AddItem(u"system.applicationHost/sites", "site",
                              {{u"name", u"Default Web Site"}, {u"id", u"1"}});
    auto binding = std::make_shared<FakeIis::Node>();
    binding->tag = "binding";
    binding->properties = {{u"protocol", u"http"}, {u"bindingInformation", u"*:80:"}};
    site->Child("bindings")->items.push_back(binding);
    return made;
  }();
  return *iis;
}

std::filesystem::path BesideThisDll(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return std::filesystem::path(folder + name);
}

std::u16string Text(BSTR text) {
  return text == nullptr ? std::u16string()
                         : std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR Bstr(const std::u16string& text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

// IUnknown of every object: one reference count, and the interfaces it is asked for by identity.
template <typename Interface>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || Accepts(iid)) {
      *out = this;
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }
  virtual ~ComObject() = default;

 protected:
  virtual bool Accepts(REFIID /*iid*/) const { return false; }

 private:
  std::atomic<ULONG> references_{1};
};

template <typename Com, typename Interface, typename Port>
HRESULT Hand(std::int32_t result, std::unique_ptr<Port>& port, Interface** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (result >= 0 && port) {
    *out = new Com(std::move(port));
  }
  return result;
}

// The index of a collection item: a position, or (for named items) a text.
bool Position(const VARIANT& index, std::uint32_t& position) {
  switch (index.vt) {
    case VT_I4:
      position = static_cast<std::uint32_t>(index.lVal);
      return index.lVal >= 0;
    case VT_I2:
      position = static_cast<std::uint32_t>(index.iVal);
      return index.iVal >= 0;
    case VT_UI4:
      position = index.ulVal;
      return true;
    default:
      return false;
  }
}

class Property final : public ComObject<IAppHostProperty> {
 public:
  explicit Property(std::unique_ptr<IisProperty> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    std::u16string text;
    const std::int32_t result = port_->Name(text);
    *name = result >= 0 ? Bstr(text) : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override {
    if (value == nullptr) {
      return E_POINTER;
    }
    VariantInit(value);
    IisValue held;
    const std::int32_t result = port_->Value(held);
    if (result < 0) {
      return result;
    }
    if (const auto* text = std::get_if<std::u16string>(&held)) {
      value->vt = VT_BSTR;
      value->bstrVal = Bstr(*text);
    } else if (const auto* flag = std::get_if<bool>(&held)) {
      value->vt = VT_BOOL;
      value->boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* int16 = std::get_if<std::int16_t>(&held)) {
      value->vt = VT_I2;
      value->iVal = *int16;
    } else if (const auto* int32 = std::get_if<std::int32_t>(&held)) {
      value->vt = VT_I4;
      value->lVal = *int32;
    } else if (const auto* uint32 = std::get_if<std::uint32_t>(&held)) {
      value->vt = VT_UI4;
      value->ulVal = *uint32;
    } else if (const auto* int64 = std::get_if<std::int64_t>(&held)) {
      value->vt = VT_I8;
      value->llVal = *int64;
    } else {
      value->vt = VT_UI8;
      value->ullVal = std::get<std::uint64_t>(held);
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override {
    switch (value.vt) {
      case VT_BSTR:
        return port_->PutText(Text(value.bstrVal));
      case VT_BOOL:
        return port_->PutBool(value.boolVal != VARIANT_FALSE);
      case VT_I2:
        return port_->PutInt16(value.iVal);
      case VT_I4:
        return port_->PutValue(static_cast<std::int32_t>(value.lVal));
      case VT_UI4:
        return port_->PutUInt32(value.ulVal);
      case VT_I8:
        return port_->PutValue(static_cast<std::int64_t>(value.llVal));
      case VT_UI8:
        return port_->PutValue(static_cast<std::uint64_t>(value.ullVal));
      default:
        return E_INVALIDARG;
    }
  }
  HRESULT STDMETHODCALLTYPE Clear() override { return port_->Clear(); }
  HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* value) override {
    std::u16string text;
    const std::int32_t result = port_->StringValue(text);
    *value = result >= 0 ? Bstr(text) : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException**) override { return E_NOTIMPL; }
  // The one metadata the setup asks of a property.
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR name, VARIANT* value) override {
    if (value == nullptr) {
      return E_POINTER;
    }
    VariantInit(value);
    if (Text(name) != u"isDefaultValue") {
      return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    }
    bool isDefault = false;
    const std::int32_t result = port_->IsDefault(isDefault);
    if (result >= 0) {
      value->vt = VT_BOOL;
      value->boolVal = isDefault ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** schema) override {
    if (schema == nullptr) {
      return E_POINTER;
    }
    bool encrypted = false;
    const std::int32_t result = port_->IsEncrypted(encrypted);
    *schema = result >= 0 ? new PropertySchema(encrypted) : nullptr;
    return result;
  }

 private:
  // The one thing the setup asks of a property's schema: whether IIS keeps it encrypted.
  class PropertySchema final : public ComObject<IAppHostPropertySchema> {
   public:
    explicit PropertySchema(bool encrypted) : encrypted_(encrypted) {}
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DefaultValue(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsRequired(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsUniqueKey(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsCombinedKey(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsExpanded(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ValidationType(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ValidationParameter(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsCaseSensitive(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PossibleValues(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DoesAllowInfinite(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* encrypted) override {
      if (encrypted == nullptr) {
        return E_POINTER;
      }
      *encrypted = encrypted_ ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TimeSpanFormat(BSTR*) override { return E_NOTIMPL; }

   private:
    bool encrypted_;
  };

  std::unique_ptr<IisProperty> port_;
};

// A collection whose items are asked for by name: properties, methods, child elements; the properties and
// child elements by position as well.
template <typename Interface, typename Port, typename ItemInterface, typename ItemPort, typename ItemCom>
class NamedCollection final : public ComObject<Interface> {
 public:
  explicit NamedCollection(std::unique_ptr<Port> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
    if constexpr (requires(Port & port, std::uint32_t & held) { port.Count(held); }) {
      if (count == nullptr) {
        return E_POINTER;
      }
      std::uint32_t held = 0;
      const std::int32_t result = port_->Count(held);
      *count = held;
      return result;
    } else {
      return E_NOTIMPL;
    }
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, ItemInterface** item) override {
    std::unique_ptr<ItemPort> found;
    if (index.vt == VT_BSTR) {
      return Hand<ItemCom>(port_->Item(Text(index.bstrVal), found), found, item);
    }
    if constexpr (requires(Port & port, std::unique_ptr<ItemPort> & out) { port.ItemAt(0U, out); }) {
      std::uint32_t position = 0;
      if (Position(index, position)) {
        return Hand<ItemCom>(port_->ItemAt(position, found), found, item);
      }
    }
    return E_INVALIDARG;
  }

 private:
  std::unique_ptr<Port> port_;
};

using PropertyCollection = NamedCollection<IAppHostPropertyCollection, IisPropertyCollection,
                                           IAppHostProperty, IisProperty, Property>;

class MethodInstance final : public ComObject<IAppHostMethodInstance> {
 public:
  explicit MethodInstance(std::unique_ptr<IisMethodInstance> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE get_Input(IAppHostElement**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Output(IAppHostElement**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Execute() override { return port_->Execute(); }
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return E_NOTIMPL; }

 private:
  std::unique_ptr<IisMethodInstance> port_;
};

class Method final : public ComObject<IAppHostMethod> {
 public:
  explicit Method(std::unique_ptr<IisMethod> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostMethodSchema**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IAppHostMethodInstance** instance) override {
    std::unique_ptr<IisMethodInstance> made;
    return Hand<MethodInstance>(port_->CreateInstance(made), made, instance);
  }

 private:
  std::unique_ptr<IisMethod> port_;
};

using MethodCollection =
    NamedCollection<IAppHostMethodCollection, IisMethodCollection, IAppHostMethod, IisMethod, Method>;

class ElementCollection;

class Element final : public ComObject<IAppHostElement> {
 public:
  explicit Element(std::unique_ptr<IisElement> port) : port_(std::move(port)) {}
  IisElement& port() { return *port_; }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    std::u16string text;
    const std::int32_t result = port_->Name(text);
    *name = result >= 0 ? Bstr(text) : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** collection) override;
  HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** properties) override {
    std::unique_ptr<IisPropertyCollection> found;
    return Hand<PropertyCollection>(port_->Properties(found), found, properties);
  }
  HRESULT STDMETHODCALLTYPE get_ChildElements(IAppHostChildElementCollection** children) override;
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetElementByName(BSTR name, IAppHostElement** element) override {
    std::unique_ptr<IisElement> found;
    return Hand<Element>(port_->ElementByName(Text(name), found), found, element);
  }
  HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR name, IAppHostProperty** property) override {
    std::unique_ptr<IisProperty> found;
    return Hand<Property>(port_->PropertyByName(Text(name), found), found, property);
  }
  HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** methods) override {
    std::unique_ptr<IisMethodCollection> found;
    return Hand<MethodCollection>(port_->Methods(found), found, methods);
  }

 private:
  std::unique_ptr<IisElement> port_;
};

class ElementCollection final : public ComObject<IAppHostElementCollection> {
 public:
  explicit ElementCollection(std::unique_ptr<IisElementCollection> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) override {
    std::uint32_t value = 0;
    const std::int32_t result = port_->Count(value);
    *count = value;
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostElement** element) override {
    std::uint32_t position = 0;
    if (!Position(index, position)) {
      return E_INVALIDARG;
    }
    std::unique_ptr<IisElement> found;
    return Hand<Element>(port_->Item(position, found), found, element);
  }
  HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* element, INT position) override {
    // Elements come from this server: the collection takes the configuration element behind it.
    auto* own = dynamic_cast<Element*>(element);
    return own == nullptr ? E_INVALIDARG : port_->AddElement(own->port(), position);
  }
  HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT index) override {
    std::uint32_t position = 0;
    return Position(index, position) ? port_->DeleteElement(position) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE Clear() override { return port_->Clear(); }
  HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR name, IAppHostElement** element) override {
    std::unique_ptr<IisElement> made;
    return Hand<Element>(port_->CreateNewElement(Text(name), made), made, element);
  }
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema**) override { return E_NOTIMPL; }

 private:
  std::unique_ptr<IisElementCollection> port_;
};

using ChildElementCollection = NamedCollection<IAppHostChildElementCollection, IisChildElementCollection,
                                               IAppHostElement, IisElement, Element>;

HRESULT Element::get_Collection(IAppHostElementCollection** collection) {
  std::unique_ptr<IisElementCollection> found;
  return Hand<ElementCollection>(port_->Collection(found), found, collection);
}

HRESULT Element::get_ChildElements(IAppHostChildElementCollection** children) {
  std::unique_ptr<IisChildElementCollection> found;
  return Hand<ChildElementCollection>(port_->ChildElements(found), found, children);
}

// The configuration file's locations, as far as the setup reaches them: DeleteLocation by path.
// A location found by its path; the setup asks for nothing more of it.
class ConfigLocation final : public ComObject<IAppHostConfigLocation> {
 public:
  HRESULT STDMETHODCALLTYPE get_Path(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Count(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT, IAppHostElement**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddConfigSection(BSTR, IAppHostElement**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteConfigSection(VARIANT) override { return E_NOTIMPL; }
};

class LocationCollection final : public ComObject<IAppHostConfigLocationCollection> {
 public:
  LocationCollection(IisAdminManager& port, std::u16string configPath)
      : port_(port), configPath_(std::move(configPath)) {}
  HRESULT STDMETHODCALLTYPE get_Count(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostConfigLocation** location) override {
    if (location == nullptr) {
      return E_POINTER;
    }
    *location = nullptr;
    if (index.vt != VT_BSTR) {
      return E_INVALIDARG;
    }
    const std::int32_t result = port_.FindLocation(configPath_, Text(index.bstrVal));
    if (result >= 0) {
      *location = new ConfigLocation;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE AddLocation(BSTR, IAppHostConfigLocation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteLocation(VARIANT index) override {
    if (index.vt != VT_BSTR) {
      return E_INVALIDARG;
    }
    return port_.DeleteLocation(configPath_, Text(index.bstrVal));
  }
  HRESULT STDMETHODCALLTYPE RenameLocation(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  IisAdminManager& port_;
  std::u16string configPath_;
};

class ConfigFile final : public ComObject<IAppHostConfigFile> {
 public:
  ConfigFile(IisAdminManager& port, std::u16string configPath)
      : port_(port), configPath_(std::move(configPath)) {}
  HRESULT STDMETHODCALLTYPE get_ConfigPath(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FilePath(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Locations(IAppHostConfigLocationCollection** locations) override {
    *locations = new LocationCollection(port_, configPath_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR, BSTR, IAppHostElement**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ClearInvalidSections() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RootSectionGroup(IAppHostSectionGroup**) override { return E_NOTIMPL; }

 private:
  IisAdminManager& port_;
  std::u16string configPath_;
};

class ConfigManager final : public ComObject<IAppHostConfigManager> {
 public:
  explicit ConfigManager(IisAdminManager& port) : port_(port) {}
  HRESULT STDMETHODCALLTYPE GetConfigFile(BSTR configPath, IAppHostConfigFile** file) override {
    *file = new ConfigFile(port_, Text(configPath));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUniqueConfigPath(BSTR, BSTR*) override { return E_NOTIMPL; }

 private:
  IisAdminManager& port_;
};

class AdminManager final : public ComObject<IAppHostWritableAdminManager> {
 public:
  explicit AdminManager(std::unique_ptr<IisAdminManager> port) : port_(std::move(port)) {}
  HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR section, BSTR path, IAppHostElement** element) override {
    std::unique_ptr<IisElement> found;
    return Hand<Element>(port_->AdminSection(Text(section), Text(path), found), found, element);
  }
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** configManager) override {
    *configManager = new ConfigManager(*port_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CommitChanges() override {
    const std::int32_t result = port_->CommitChanges();
    if (result >= 0) {
      const FakeIis::Commit& commit = Configuration().commits.back();
      std::ofstream(BesideThisDll(L"applicationHost.config"), std::ios::binary) << commit.configuration;
      std::ofstream(BesideThisDll(L"configuration.txt"), std::ios::binary) << Configuration().Save();
      std::ofstream log(BesideThisDll(L"commits.log"), std::ios::binary | std::ios::app);
      for (const char16_t c : commit.path) {
        log << static_cast<char>(c);
      }
      log << '\n';
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* path) override {
    std::u16string text;
    const std::int32_t result = port_->CommitPath(text);
    *path = result >= 0 ? Bstr(text) : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR path) override { return port_->SetCommitPath(Text(path)); }

 protected:
  bool Accepts(REFIID iid) const override { return iid == kAppHostWritableAdminManagerInterface; }

 private:
  std::unique_ptr<IisAdminManager> port_;
};

class Factory final : public ComObject<IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    std::unique_ptr<IisAdminManager> port;
    const std::int32_t result = Configuration().CreateAdminManager(port);
    if (result < 0) {
      return result;
    }
    auto* manager = new AdminManager(std::move(port));
    const HRESULT answer = manager->QueryInterface(iid, out);
    manager->Release();
    return answer;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL /*lock*/) override { return S_OK; }

 protected:
  bool Accepts(REFIID iid) const override { return iid == IID_IClassFactory; }
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
  }
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
  if (classId != kAppHostWritableAdminManagerClass) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  auto* factory = new Factory;
  const HRESULT answer = factory->QueryInterface(iid, out);
  factory->Release();
  return answer;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return S_FALSE;
}
