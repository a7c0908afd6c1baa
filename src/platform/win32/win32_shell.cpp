#include "platform/win32/win32_shell.h"

#include <windows.h>

#include <shobjidl.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

LPCWSTR Wide(const std::u16string& text) {
  return reinterpret_cast<LPCWSTR>(text.c_str());
}

class Win32FolderDialog final : public FolderDialog {
 public:
  explicit Win32FolderDialog(ComPtr<IFileDialog> dialog) : dialog_(std::move(dialog)) {}

  std::int32_t AddOptions(std::uint32_t options) override {
    FILEOPENDIALOGOPTIONS current = 0;
    const HRESULT result = dialog_->GetOptions(&current);
    if (FAILED(result)) {
      return result;
    }
    return dialog_->SetOptions(current | options);
  }
  std::int32_t SetTitle(const std::u16string& title) override { return dialog_->SetTitle(Wide(title)); }
  std::int32_t SetInitialFolder(const std::u16string& path) override {
    ComPtr<IShellItem> item;
    const HRESULT result = SHCreateItemFromParsingName(Wide(path), nullptr, IID_IShellItem,
                                                       reinterpret_cast<void**>(item.GetAddressOf()));
    if (FAILED(result)) {
      return result;
    }
    dialog_->SetFolder(item.Get());
    return dialog_->SetFileName(Wide(path));
  }
  std::int32_t Show(WindowHandle owner) override {
    return dialog_->Show(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner)));
  }
  std::int32_t ResultPath(std::u16string& path) override {
    ComPtr<IShellItem> item;
    HRESULT result = dialog_->GetResult(item.GetAddressOf());
    if (FAILED(result)) {
      return result;
    }
    PWSTR text = nullptr;
    result = item->GetDisplayName(SIGDN_FILESYSPATH, &text);
    if (SUCCEEDED(result) && text != nullptr) {
      path = reinterpret_cast<const char16_t*>(text);
      CoTaskMemFree(text);
    }
    return result;
  }

 private:
  ComPtr<IFileDialog> dialog_;
};

}  // namespace

static_assert(FolderDialog::kPickFolders == FOS_PICKFOLDERS &&
              FolderDialog::kForceFileSystem == FOS_FORCEFILESYSTEM);
static_assert(FolderDialog::kPathMustExist == FOS_PATHMUSTEXIST &&
              FolderDialog::kNoChangeDir == FOS_NOCHANGEDIR);

std::int32_t Win32Shell::CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) {
  ComPtr<IFileDialog> created;
  const HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IFileDialog, reinterpret_cast<void**>(created.GetAddressOf()));
  if (SUCCEEDED(result) && created) {
    dialog = std::make_unique<Win32FolderDialog>(std::move(created));
  }
  return result;
}
