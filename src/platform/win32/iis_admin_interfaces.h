#pragma once

// The IIS administration interfaces (ahadmin) that the setup calls. mingw-w64 ships no header for them, so
// they are declared here, every method in its place: the order is that of the published interface
// definitions, as the IIS Application Host COM Protocol ([MS-IISA]) numbers the methods (opnum 3 is the
// first method after IUnknown's three) and the IIS SDK's ahadmin.h declares them. The adapter tests check
// each interface's method count and positions against that numbering. Interfaces that the setup never
// calls into are only named.
#include <windows.h>

#include <oaidl.h>

struct IAppHostConfigManager;
struct IAppHostConfigFile;
struct IAppHostConfigLocationCollection;
struct IAppHostConfigLocation;
struct IAppHostSectionGroup;
struct IAppHostElementSchema;
struct IAppHostCollectionSchema;
struct IAppHostPropertyException;
struct IAppHostPropertySchema;
struct IAppHostMethodSchema;
struct IAppHostElement;
struct IAppHostElementCollection;
struct IAppHostChildElementCollection;
struct IAppHostPropertyCollection;
struct IAppHostProperty;
struct IAppHostMethodCollection;
struct IAppHostMethod;
struct IAppHostMethodInstance;

// NOLINTBEGIN(readability-identifier-naming): the names and signatures are the published ones.

struct IAppHostAdminManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                                    IAppHostElement** ppAdminSection) = 0;           // 3
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;         // 4
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataName, VARIANT value) = 0;           // 5
  virtual HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** ppConfigManager) = 0;  // 6
};

struct IAppHostWritableAdminManager : public IAppHostAdminManager {
  virtual HRESULT STDMETHODCALLTYPE CommitChanges() = 0;                        // 7
  virtual HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* pbstrCommitPath) = 0;  // 8
  virtual HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR bstrCommitPath) = 0;    // 9
};

struct IAppHostConfigManager : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetConfigFile(BSTR bstrConfigPath,
                                                  IAppHostConfigFile** ppConfigFile) = 0;                 // 3
  virtual HRESULT STDMETHODCALLTYPE GetUniqueConfigPath(BSTR bstrConfigPath, BSTR* pbstrUniquePath) = 0;  // 4
};

struct IAppHostConfigFile : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_ConfigPath(BSTR* pbstrConfigPath) = 0;                          // 3
  virtual HRESULT STDMETHODCALLTYPE get_FilePath(BSTR* pbstrFilePath) = 0;                              // 4
  virtual HRESULT STDMETHODCALLTYPE get_Locations(IAppHostConfigLocationCollection** ppLocations) = 0;  // 5
  virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                                    IAppHostElement** ppAdminSection) = 0;            // 6
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;          // 7
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataName, VARIANT value) = 0;            // 8
  virtual HRESULT STDMETHODCALLTYPE ClearInvalidSections() = 0;                                       // 9
  virtual HRESULT STDMETHODCALLTYPE get_RootSectionGroup(IAppHostSectionGroup** ppSectionGroup) = 0;  // 10
};

struct IAppHostConfigLocationCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;                                        // 3
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT varIndex, IAppHostConfigLocation** ppLocation) = 0;  // 4
  virtual HRESULT STDMETHODCALLTYPE AddLocation(BSTR bstrLocationPath,
                                                IAppHostConfigLocation** ppNewLocation) = 0;      // 5
  virtual HRESULT STDMETHODCALLTYPE DeleteLocation(VARIANT cIndex) = 0;                           // 6
  virtual HRESULT STDMETHODCALLTYPE RenameLocation(VARIANT varIndex, BSTR bstrLocationPath) = 0;  // 7
};

struct IAppHostConfigLocation : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Path(BSTR* pbstrLocationPath) = 0;                      // 3
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;                              // 4
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppSection) = 0;  // 5
  virtual HRESULT STDMETHODCALLTYPE AddConfigSection(BSTR bstrSectionName,
                                                     IAppHostElement** ppAdminElement) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE DeleteConfigSection(VARIANT cIndex) = 0;                 // 7
};

struct IAppHostElement : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;                                       // 3
  virtual HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** ppCollection) = 0;        // 4
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** ppProperties) = 0;       // 5
  virtual HRESULT STDMETHODCALLTYPE get_ChildElements(IAppHostChildElementCollection** ppElements) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;             // 7
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataName, VARIANT value) = 0;               // 8
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema** ppSchema) = 0;                    // 9
  virtual HRESULT STDMETHODCALLTYPE GetElementByName(BSTR bstrSubName,
                                                     IAppHostElement** ppElement) = 0;  // 10
  virtual HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR bstrSubName,
                                                      IAppHostProperty** ppProperty) = 0;   // 11
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;                                            // 12
  virtual HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** ppMethods) = 0;  // 13
};

struct IAppHostElementCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcElementCount) = 0;                       // 3
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;  // 4
  virtual HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* pElement, INT cPosition) = 0;   // 5
  virtual HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT cIndex) = 0;                          // 6
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;                                                // 7
  virtual HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR bstrElementName,
                                                     IAppHostElement** ppElement) = 0;    // 8
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostCollectionSchema** ppSchema) = 0;  // 9
};

struct IAppHostChildElementCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;                              // 3
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) = 0;  // 4
};

struct IAppHostPropertyCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;                                // 3
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostProperty** ppProperty) = 0;  // 4
};

struct IAppHostProperty : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;                               // 3
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pVariant) = 0;                            // 4
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;                                // 5
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;                                                 // 6
  virtual HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* pbstrValue) = 0;                       // 7
  virtual HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException** ppException) = 0;  // 8
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;     // 9
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataName, VARIANT value) = 0;       // 10
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** ppSchema) = 0;           // 11
};

struct IAppHostPropertySchema : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;                                // 3
  virtual HRESULT STDMETHODCALLTYPE get_Type(BSTR* pbstrType) = 0;                                // 4
  virtual HRESULT STDMETHODCALLTYPE get_DefaultValue(VARIANT* pDefaultValue) = 0;                 // 5
  virtual HRESULT STDMETHODCALLTYPE get_IsRequired(VARIANT_BOOL* pfIsRequired) = 0;               // 6
  virtual HRESULT STDMETHODCALLTYPE get_IsUniqueKey(VARIANT_BOOL* pfIsUniqueKey) = 0;             // 7
  virtual HRESULT STDMETHODCALLTYPE get_IsCombinedKey(VARIANT_BOOL* pfIsCombinedKey) = 0;         // 8
  virtual HRESULT STDMETHODCALLTYPE get_IsExpanded(VARIANT_BOOL* pfIsExpanded) = 0;               // 9
  virtual HRESULT STDMETHODCALLTYPE get_ValidationType(BSTR* pbstrValidationType) = 0;            // 10
  virtual HRESULT STDMETHODCALLTYPE get_ValidationParameter(BSTR* pbstrValidationParameter) = 0;  // 11
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;      // 12
  virtual HRESULT STDMETHODCALLTYPE get_IsCaseSensitive(VARIANT_BOOL* pfIsCaseSensitive) = 0;     // 13
  virtual HRESULT STDMETHODCALLTYPE get_PossibleValues(IUnknown** ppValues) = 0;                  // 14
  virtual HRESULT STDMETHODCALLTYPE get_DoesAllowInfinite(VARIANT_BOOL* pfAllowInfinite) = 0;     // 15
  virtual HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* pfIsEncrypted) = 0;             // 16
  virtual HRESULT STDMETHODCALLTYPE get_TimeSpanFormat(BSTR* pbstrTimeSpanFormat) = 0;            // 17
};

struct IAppHostMethodCollection : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) = 0;                            // 3
  virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostMethod** ppMethod) = 0;  // 4
};

struct IAppHostMethod : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) = 0;                                  // 3
  virtual HRESULT STDMETHODCALLTYPE get_Schema(IAppHostMethodSchema** ppMethodSchema) = 0;          // 4
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IAppHostMethodInstance** ppMethodInstance) = 0;  // 5
};

struct IAppHostMethodInstance : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Input(IAppHostElement** ppInputElement) = 0;          // 3
  virtual HRESULT STDMETHODCALLTYPE get_Output(IAppHostElement** ppOutputElement) = 0;        // 4
  virtual HRESULT STDMETHODCALLTYPE Execute() = 0;                                            // 5
  virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataName, VARIANT* pValue) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataName, VARIANT value) = 0;    // 7
};

// NOLINTEND(readability-identifier-naming)

// The published identities: the admin manager class and the interface the setup asks it for.
inline constexpr CLSID kAppHostWritableAdminManagerClass = {
    0x2B72133B, 0x3F5B, 0x4602, {0x89, 0x52, 0x80, 0x35, 0x46, 0xCE, 0x33, 0x44}};
inline constexpr IID kAppHostWritableAdminManagerInterface = {
    0xFA7660F6, 0x7B3F, 0x4237, {0xA8, 0xBF, 0xED, 0x0A, 0xD0, 0xDC, 0xBB, 0xD9}};
