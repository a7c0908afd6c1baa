#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/iis_admin_interfaces.h"
#include "platform/win32/win32_iis.h"

namespace {

// The vtable slot of a virtual method. Under the Itanium C++ ABI, which mingw-w64's g++ follows, a pointer
// to a virtual member function holds 1 plus the method's byte offset in the vtable.
template <typename Method>
std::size_t SlotOf(Method method) {
  struct Representation {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof(Method) == sizeof(Representation));
  Representation representation{};
  std::memcpy(&representation, &method, sizeof representation);
  return (representation.pointer - 1) / sizeof(void*);
}

// A method declared after the last one of the interface: its slot is the interface's method count.
template <typename Interface>
struct AfterLast : Interface {
  virtual void STDMETHODCALLTYPE Probe() = 0;
};

struct Slot {
  const char* method;
  std::size_t declared;
  std::size_t opnum;  // as the IIS Application Host COM Protocol numbers the method
};

void ExpectSlots(const char* interfaceName, const std::vector<Slot>& slots, std::size_t declaredCount,
                 std::size_t count) {
  for (const Slot& slot : slots) {
    EXPECT_EQ(slot.declared, slot.opnum) << interfaceName << "::" << slot.method;
  }
  EXPECT_EQ(declaredCount, count) << interfaceName << ": methods with IUnknown's three";
}

TEST(IisAdminInterfaces, EveryMethodSitsWhereThePublishedDefinitionPutsIt) {
  ExpectSlots("IAppHostWritableAdminManager",
              {{"GetAdminSection", SlotOf(&IAppHostWritableAdminManager::GetAdminSection), 3},
               {"GetMetadata", SlotOf(&IAppHostWritableAdminManager::GetMetadata), 4},
               {"SetMetadata", SlotOf(&IAppHostWritableAdminManager::SetMetadata), 5},
               {"get_ConfigManager", SlotOf(&IAppHostWritableAdminManager::get_ConfigManager), 6},
               {"CommitChanges", SlotOf(&IAppHostWritableAdminManager::CommitChanges), 7},
               {"get_CommitPath", SlotOf(&IAppHostWritableAdminManager::get_CommitPath), 8},
               {"put_CommitPath", SlotOf(&IAppHostWritableAdminManager::put_CommitPath), 9}},
              SlotOf(&AfterLast<IAppHostWritableAdminManager>::Probe), 10);
  ExpectSlots("IAppHostConfigManager",
              {{"GetConfigFile", SlotOf(&IAppHostConfigManager::GetConfigFile), 3},
               {"GetUniqueConfigPath", SlotOf(&IAppHostConfigManager::GetUniqueConfigPath), 4}},
              SlotOf(&AfterLast<IAppHostConfigManager>::Probe), 5);
  ExpectSlots("IAppHostConfigFile",
              {{"get_Locations", SlotOf(&IAppHostConfigFile::get_Locations), 5},
               {"get_RootSectionGroup", SlotOf(&IAppHostConfigFile::get_RootSectionGroup), 10}},
              SlotOf(&AfterLast<IAppHostConfigFile>::Probe), 11);
  ExpectSlots("IAppHostConfigLocationCollection",
              {{"DeleteLocation", SlotOf(&IAppHostConfigLocationCollection::DeleteLocation), 6},
               {"RenameLocation", SlotOf(&IAppHostConfigLocationCollection::RenameLocation), 7}},
              SlotOf(&AfterLast<IAppHostConfigLocationCollection>::Probe), 8);
  ExpectSlots("IAppHostConfigLocation",
              {{"get_Path", SlotOf(&IAppHostConfigLocation::get_Path), 3},
               {"get_Count", SlotOf(&IAppHostConfigLocation::get_Count), 4},
               {"get_Item", SlotOf(&IAppHostConfigLocation::get_Item), 5},
               {"AddConfigSection", SlotOf(&IAppHostConfigLocation::AddConfigSection), 6},
               {"DeleteConfigSection", SlotOf(&IAppHostConfigLocation::DeleteConfigSection), 7}},
              SlotOf(&AfterLast<IAppHostConfigLocation>::Probe), 8);
  ExpectSlots("IAppHostElement",
              {{"get_Name", SlotOf(&IAppHostElement::get_Name), 3},
               {"get_Collection", SlotOf(&IAppHostElement::get_Collection), 4},
               {"get_Properties", SlotOf(&IAppHostElement::get_Properties), 5},
               {"get_ChildElements", SlotOf(&IAppHostElement::get_ChildElements), 6},
               {"GetMetadata", SlotOf(&IAppHostElement::GetMetadata), 7},
               {"SetMetadata", SlotOf(&IAppHostElement::SetMetadata), 8},
               {"get_Schema", SlotOf(&IAppHostElement::get_Schema), 9},
               {"GetElementByName", SlotOf(&IAppHostElement::GetElementByName), 10},
               {"GetPropertyByName", SlotOf(&IAppHostElement::GetPropertyByName), 11},
               {"Clear", SlotOf(&IAppHostElement::Clear), 12},
               {"get_Methods", SlotOf(&IAppHostElement::get_Methods), 13}},
              SlotOf(&AfterLast<IAppHostElement>::Probe), 14);
  ExpectSlots("IAppHostElementCollection",
              {{"get_Count", SlotOf(&IAppHostElementCollection::get_Count), 3},
               {"get_Item", SlotOf(&IAppHostElementCollection::get_Item), 4},
               {"AddElement", SlotOf(&IAppHostElementCollection::AddElement), 5},
               {"DeleteElement", SlotOf(&IAppHostElementCollection::DeleteElement), 6},
               {"Clear", SlotOf(&IAppHostElementCollection::Clear), 7},
               {"CreateNewElement", SlotOf(&IAppHostElementCollection::CreateNewElement), 8},
               {"get_Schema", SlotOf(&IAppHostElementCollection::get_Schema), 9}},
              SlotOf(&AfterLast<IAppHostElementCollection>::Probe), 10);
  ExpectSlots("IAppHostChildElementCollection",
              {{"get_Count", SlotOf(&IAppHostChildElementCollection::get_Count), 3},
               {"get_Item", SlotOf(&IAppHostChildElementCollection::get_Item), 4}},
              SlotOf(&AfterLast<IAppHostChildElementCollection>::Probe), 5);
  ExpectSlots("IAppHostPropertyCollection",
              {{"get_Count", SlotOf(&IAppHostPropertyCollection::get_Count), 3},
               {"get_Item", SlotOf(&IAppHostPropertyCollection::get_Item), 4}},
              SlotOf(&AfterLast<IAppHostPropertyCollection>::Probe), 5);
  ExpectSlots("IAppHostProperty",
              {{"get_Name", SlotOf(&IAppHostProperty::get_Name), 3},
               {"get_Value", SlotOf(&IAppHostProperty::get_Value), 4},
               {"put_Value", SlotOf(&IAppHostProperty::put_Value), 5},
               {"Clear", SlotOf(&IAppHostProperty::Clear), 6},
               {"get_StringValue", SlotOf(&IAppHostProperty::get_StringValue), 7},
               {"get_Exception", SlotOf(&IAppHostProperty::get_Exception), 8},
               {"GetMetadata", SlotOf(&IAppHostProperty::GetMetadata), 9},
               {"SetMetadata", SlotOf(&IAppHostProperty::SetMetadata), 10},
               {"get_Schema", SlotOf(&IAppHostProperty::get_Schema), 11}},
              SlotOf(&AfterLast<IAppHostProperty>::Probe), 12);
  ExpectSlots("IAppHostPropertySchema",
              {{"get_Name", SlotOf(&IAppHostPropertySchema::get_Name), 3},
               {"get_Type", SlotOf(&IAppHostPropertySchema::get_Type), 4},
               {"get_DefaultValue", SlotOf(&IAppHostPropertySchema::get_DefaultValue), 5},
               {"get_IsRequired", SlotOf(&IAppHostPropertySchema::get_IsRequired), 6},
               {"get_IsUniqueKey", SlotOf(&IAppHostPropertySchema::get_IsUniqueKey), 7},
               {"get_IsCombinedKey", SlotOf(&IAppHostPropertySchema::get_IsCombinedKey), 8},
               {"get_IsExpanded", SlotOf(&IAppHostPropertySchema::get_IsExpanded), 9},
               {"get_ValidationType", SlotOf(&IAppHostPropertySchema::get_ValidationType), 10},
               {"get_ValidationParameter", SlotOf(&IAppHostPropertySchema::get_ValidationParameter), 11},
               {"GetMetadata", SlotOf(&IAppHostPropertySchema::GetMetadata), 12},
               {"get_IsCaseSensitive", SlotOf(&IAppHostPropertySchema::get_IsCaseSensitive), 13},
               {"get_PossibleValues", SlotOf(&IAppHostPropertySchema::get_PossibleValues), 14},
               {"get_DoesAllowInfinite", SlotOf(&IAppHostPropertySchema::get_DoesAllowInfinite), 15},
               {"get_IsEncrypted", SlotOf(&IAppHostPropertySchema::get_IsEncrypted), 16},
               {"get_TimeSpanFormat", SlotOf(&IAppHostPropertySchema::get_TimeSpanFormat), 17}},
              SlotOf(&AfterLast<IAppHostPropertySchema>::Probe), 18);
  ExpectSlots("IAppHostMethodCollection",
              {{"get_Count", SlotOf(&IAppHostMethodCollection::get_Count), 3},
               {"get_Item", SlotOf(&IAppHostMethodCollection::get_Item), 4}},
              SlotOf(&AfterLast<IAppHostMethodCollection>::Probe), 5);
  ExpectSlots("IAppHostMethod",
              {{"get_Name", SlotOf(&IAppHostMethod::get_Name), 3},
               {"get_Schema", SlotOf(&IAppHostMethod::get_Schema), 4},
               {"CreateInstance", SlotOf(&IAppHostMethod::CreateInstance), 5}},
              SlotOf(&AfterLast<IAppHostMethod>::Probe), 6);
  ExpectSlots("IAppHostMethodInstance",
              {{"get_Input", SlotOf(&IAppHostMethodInstance::get_Input), 3},
               {"get_Output", SlotOf(&IAppHostMethodInstance::get_Output), 4},
               {"Execute", SlotOf(&IAppHostMethodInstance::Execute), 5},
               {"GetMetadata", SlotOf(&IAppHostMethodInstance::GetMetadata), 6},
               {"SetMetadata", SlotOf(&IAppHostMethodInstance::SetMetadata), 7}},
              SlotOf(&AfterLast<IAppHostMethodInstance>::Probe), 8);
  // IUnknown itself, as a check of the slot reading.
  EXPECT_EQ(SlotOf(&IUnknown::Release), 2U);
}

TEST(Win32Iis, WithoutIisTheAdminManagerClassIsNotRegistered) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  {
    Win32Iis iis;
    std::unique_ptr<IisAdminManager> manager;
    EXPECT_EQ(iis.CreateAdminManager(manager), Iis::kClassNotRegistered);
    EXPECT_EQ(manager, nullptr);
  }
  CoUninitialize();
}

}  // namespace
