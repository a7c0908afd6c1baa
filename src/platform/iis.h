#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

// The IIS administration API as the system reaches it: the writable admin manager, the sections it hands
// out as elements, their collections, child elements, properties and methods. Each reference is owned by
// its std::unique_ptr and released when that goes. Results are the HRESULTs of the calls; texts are UTF-16.

// A property's value as a variant of get_Value and put_Value holds it: VT_BSTR, VT_BOOL (VARIANT_TRUE or
// VARIANT_FALSE), VT_I2, VT_I4 (enumerations and flags too), VT_UI4, VT_I8 or VT_UI8.
using IisValue = std::variant<std::u16string, bool, std::int16_t, std::int32_t, std::uint32_t, std::int64_t,
                              std::uint64_t>;

class IisProperty {
 public:
  IisProperty() = default;
  IisProperty(const IisProperty&) = delete;
  IisProperty& operator=(const IisProperty&) = delete;
  virtual ~IisProperty() = default;

  // put_Value and get_Value.
  virtual std::int32_t PutValue(const IisValue& value) = 0;
  virtual std::int32_t Value(IisValue& value) = 0;
  std::int32_t PutText(std::u16string_view value) { return PutValue(std::u16string(value)); }
  std::int32_t PutBool(bool value) { return PutValue(value); }
  std::int32_t PutInt16(std::int16_t value) { return PutValue(value); }
  std::int32_t PutUInt32(std::uint32_t value) { return PutValue(value); }
  // get_Name and get_StringValue.
  virtual std::int32_t Name(std::u16string& name) = 0;
  virtual std::int32_t StringValue(std::u16string& value) = 0;
  // GetMetadata of "isDefaultValue": true while the element sets no value of its own for the property.
  virtual std::int32_t IsDefault(bool& isDefault) = 0;
  // Clear: the element no longer sets the property, which takes its inherited or default value again.
  virtual std::int32_t Clear() = 0;
  // get_Schema, then the schema's get_IsEncrypted: IIS keeps the property encrypted (a password), and
  // get_Value hands it out decrypted.
  virtual std::int32_t IsEncrypted(bool& encrypted) = 0;
};

class IisPropertyCollection {
 public:
  IisPropertyCollection() = default;
  IisPropertyCollection(const IisPropertyCollection&) = delete;
  IisPropertyCollection& operator=(const IisPropertyCollection&) = delete;
  virtual ~IisPropertyCollection() = default;

  // get_Item by name (a VT_BSTR index).
  virtual std::int32_t Item(std::u16string_view name, std::unique_ptr<IisProperty>& property) = 0;
  // get_Count, and get_Item by position (a VT_I4 index, from 0).
  virtual std::int32_t Count(std::uint32_t& count) = 0;
  virtual std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisProperty>& property) = 0;
};

class IisMethodInstance {
 public:
  IisMethodInstance() = default;
  IisMethodInstance(const IisMethodInstance&) = delete;
  IisMethodInstance& operator=(const IisMethodInstance&) = delete;
  virtual ~IisMethodInstance() = default;

  virtual std::int32_t Execute() = 0;
};

class IisMethod {
 public:
  IisMethod() = default;
  IisMethod(const IisMethod&) = delete;
  IisMethod& operator=(const IisMethod&) = delete;
  virtual ~IisMethod() = default;

  virtual std::int32_t CreateInstance(std::unique_ptr<IisMethodInstance>& instance) = 0;
};

class IisMethodCollection {
 public:
  IisMethodCollection() = default;
  IisMethodCollection(const IisMethodCollection&) = delete;
  IisMethodCollection& operator=(const IisMethodCollection&) = delete;
  virtual ~IisMethodCollection() = default;

  // get_Item by name.
  virtual std::int32_t Item(std::u16string_view name, std::unique_ptr<IisMethod>& method) = 0;
};

class IisElementCollection;
class IisChildElementCollection;

class IisElement {
 public:
  IisElement() = default;
  IisElement(const IisElement&) = delete;
  IisElement& operator=(const IisElement&) = delete;
  virtual ~IisElement() = default;

  // get_Name: the element's tag ("site", "add", "binding", ...).
  virtual std::int32_t Name(std::u16string& name) = 0;
  // get_Collection, get_Properties, get_ChildElements, get_Methods.
  virtual std::int32_t Collection(std::unique_ptr<IisElementCollection>& collection) = 0;
  virtual std::int32_t Properties(std::unique_ptr<IisPropertyCollection>& properties) = 0;
  virtual std::int32_t ChildElements(std::unique_ptr<IisChildElementCollection>& children) = 0;
  virtual std::int32_t Methods(std::unique_ptr<IisMethodCollection>& methods) = 0;
  // GetElementByName, GetPropertyByName.
  virtual std::int32_t ElementByName(std::u16string_view name, std::unique_ptr<IisElement>& element) = 0;
  virtual std::int32_t PropertyByName(std::u16string_view name, std::unique_ptr<IisProperty>& property) = 0;
};

class IisElementCollection {
 public:
  IisElementCollection() = default;
  IisElementCollection(const IisElementCollection&) = delete;
  IisElementCollection& operator=(const IisElementCollection&) = delete;
  virtual ~IisElementCollection() = default;

  // get_Count.
  virtual std::int32_t Count(std::uint32_t& count) = 0;
  // get_Item by position (a VT_I4 index, from 0).
  virtual std::int32_t Item(std::uint32_t position, std::unique_ptr<IisElement>& element) = 0;
  // AddElement of an element this collection made with CreateNewElement; -1 appends it.
  virtual std::int32_t AddElement(IisElement& element, std::int32_t position) = 0;
  // DeleteElement by position.
  virtual std::int32_t DeleteElement(std::uint32_t position) = 0;
  virtual std::int32_t Clear() = 0;
  virtual std::int32_t CreateNewElement(std::u16string_view name, std::unique_ptr<IisElement>& element) = 0;
};

class IisChildElementCollection {
 public:
  IisChildElementCollection() = default;
  IisChildElementCollection(const IisChildElementCollection&) = delete;
  IisChildElementCollection& operator=(const IisChildElementCollection&) = delete;
  virtual ~IisChildElementCollection() = default;

  // get_Item by name.
  virtual std::int32_t Item(std::u16string_view name, std::unique_ptr<IisElement>& element) = 0;
  // get_Count, and get_Item by position (a VT_I4 index, from 0).
  virtual std::int32_t Count(std::uint32_t& count) = 0;
  virtual std::int32_t ItemAt(std::uint32_t position, std::unique_ptr<IisElement>& element) = 0;
};

class IisAdminManager {
 public:
  IisAdminManager() = default;
  IisAdminManager(const IisAdminManager&) = delete;
  IisAdminManager& operator=(const IisAdminManager&) = delete;
  virtual ~IisAdminManager() = default;

  // GetAdminSection of a section at a configuration path ("MACHINE/WEBROOT/APPHOST", ...).
  virtual std::int32_t AdminSection(std::u16string_view section, std::u16string_view path,
                                    std::unique_ptr<IisElement>& element) = 0;
  virtual std::int32_t CommitChanges() = 0;
  // get_CommitPath and put_CommitPath.
  virtual std::int32_t CommitPath(std::u16string& path) = 0;
  virtual std::int32_t SetCommitPath(std::u16string_view path) = 0;
  // The configuration file of `configPath` through get_ConfigManager and GetConfigFile, its Locations, and
  // DeleteLocation of the location path `location` (a site's name): the <location> element and every
  // section set at it go, at the next commit.
  virtual std::int32_t DeleteLocation(std::u16string_view configPath, std::u16string_view location) = 0;
  // get_Item of the location path `location` in the same Locations: S_OK when the file has a <location>
  // of that path, ERROR_INVALID_INDEX as an HRESULT when it has none.
  virtual std::int32_t FindLocation(std::u16string_view configPath, std::u16string_view location) = 0;
};

class Iis {
 public:
  static constexpr auto kClassNotRegistered = static_cast<std::int32_t>(0x80040154U);  // REGDB_E_CLASSNOTREG

  Iis() = default;
  Iis(const Iis&) = delete;
  Iis& operator=(const Iis&) = delete;
  virtual ~Iis() = default;

  // CoCreateInstance of the AppHostWritableAdminManager class in process, for its
  // IAppHostWritableAdminManager interface.
  virtual std::int32_t CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) = 0;
};
