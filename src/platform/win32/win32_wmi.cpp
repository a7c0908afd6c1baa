#include "platform/win32/win32_wmi.h"

#include <windows.h>

#include <wbemcli.h>
#include <wrl/client.h>

#include "platform/win32/com_text.h"

using Microsoft::WRL::ComPtr;

namespace {

// The published identities of the WMI locator class and its interface.
constexpr CLSID kWbemLocatorClass = {
    0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
constexpr IID kWbemLocatorInterface = {
    0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

class Win32WmiObject final : public WmiObject {
 public:
  explicit Win32WmiObject(ComPtr<IWbemClassObject> object) : object_(std::move(object)) {}
  std::int32_t Get(std::u16string_view property, std::optional<std::u16string>& text) override {
    const std::u16string name(property);
    unique_variant value;
    const HRESULT result =
        object_->Get(reinterpret_cast<LPCWSTR>(name.c_str()), 0, value.get(), nullptr, nullptr);
    if (SUCCEEDED(result)) {
      text = VariantText(*value);
    }
    return result;
  }

 private:
  ComPtr<IWbemClassObject> object_;
};

class Win32WmiEnumerator final : public WmiEnumerator {
 public:
  explicit Win32WmiEnumerator(ComPtr<IEnumWbemClassObject> enumerator) : enumerator_(std::move(enumerator)) {}
  std::int32_t Next(std::int32_t timeoutMs, std::unique_ptr<WmiObject>& object) override {
    ComPtr<IWbemClassObject> next;
    ULONG returned = 0;
    const HRESULT result = enumerator_->Next(timeoutMs, 1, next.GetAddressOf(), &returned);
    if (returned == 1 && next) {
      object = std::make_unique<Win32WmiObject>(std::move(next));
    }
    return result;
  }

 private:
  ComPtr<IEnumWbemClassObject> enumerator_;
};

class Win32WmiServices final : public WmiServices {
 public:
  explicit Win32WmiServices(ComPtr<IWbemServices> services) : services_(std::move(services)) {}
  std::int32_t ExecQuery(std::u16string_view language, std::u16string_view query, std::int32_t flags,
                         std::unique_ptr<WmiEnumerator>& results) override {
    const unique_bstr languageText = WideToBstr(language);
    const unique_bstr queryText = WideToBstr(query);
    if (!languageText || !queryText) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IEnumWbemClassObject> enumerator;
    const HRESULT result =
        services_->ExecQuery(languageText.get(), queryText.get(), flags, nullptr, enumerator.GetAddressOf());
    if (SUCCEEDED(result) && enumerator) {
      results = std::make_unique<Win32WmiEnumerator>(std::move(enumerator));
    }
    return result;
  }

 private:
  ComPtr<IWbemServices> services_;
};

class Win32WmiLocator final : public WmiLocator {
 public:
  explicit Win32WmiLocator(ComPtr<IWbemLocator> locator) : locator_(std::move(locator)) {}
  std::int32_t ConnectServer(std::u16string_view nameSpace, std::unique_ptr<WmiServices>& services) override {
    const unique_bstr name = WideToBstr(nameSpace);
    if (!name) {
      return E_OUTOFMEMORY;
    }
    ComPtr<IWbemServices> connected;
    const HRESULT result = locator_->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                   connected.GetAddressOf());
    if (SUCCEEDED(result) && connected) {
      services = std::make_unique<Win32WmiServices>(std::move(connected));
    }
    return result;
  }

 private:
  ComPtr<IWbemLocator> locator_;
};

}  // namespace

std::int32_t Win32Wmi::CreateLocator(std::unique_ptr<WmiLocator>& locator) {
  ComPtr<IWbemLocator> created;
  const HRESULT result =
      CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, kWbemLocatorInterface,
                       reinterpret_cast<void**>(created.GetAddressOf()));
  if (SUCCEEDED(result) && created) {
    locator = std::make_unique<Win32WmiLocator>(std::move(created));
  }
  return result;
}
