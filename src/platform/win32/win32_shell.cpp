#include "platform/win32/win32_shell.h"

#include <windows.h>

#include <shobjidl.h>
#include <wrl/client.h>

#include <optional>

#include "platform/win32/answering_wait.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

using Microsoft::WRL::ComPtr;

namespace {

LPCWSTR Wide(const std::u16string& text) {
  return reinterpret_cast<LPCWSTR>(text.c_str());
}

// What the folder dialog is asked to be, and what it answered.
struct Picker {
  std::uint32_t options = 0;
  std::u16string title;
  std::optional<std::u16string> initialFolder;
  HRESULT shown = E_FAIL;
  std::optional<std::u16string> path;
  HRESULT pathResult = E_FAIL;
};

// The file dialog is an apartment-threaded object. Called from the setup's multithreaded dialog thread it
// would live in another apartment while the dialog thread blocks in the call without serving the messages
// that the picker sends to its owner, and the two wait for each other. So the picker is made, shown and
// read on a thread of its own apartment, which ends with it.
void RunPicker(Picker& picker) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    ComPtr<IFileDialog> dialog;
    picker.shown = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                    reinterpret_cast<void**>(dialog.GetAddressOf()));
    if (SUCCEEDED(picker.shown)) {
      FILEOPENDIALOGOPTIONS current = 0;
      if (SUCCEEDED(dialog->GetOptions(&current))) {
        dialog->SetOptions(current | picker.options);
      }
      if (!picker.title.empty()) {
        dialog->SetTitle(Wide(picker.title));
      }
      if (picker.initialFolder) {
        ComPtr<IShellItem> item;
        if (SUCCEEDED(SHCreateItemFromParsingName(Wide(*picker.initialFolder), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(item.GetAddressOf())))) {
          dialog->SetFolder(item.Get());
          dialog->SetFileName(Wide(*picker.initialFolder));
        }
      }
      picker.shown = dialog->Show(nullptr);
      ComPtr<IShellItem> result;
      if (SUCCEEDED(picker.shown) &&
          SUCCEEDED(picker.pathResult = dialog->GetResult(result.GetAddressOf()))) {
        PWSTR text = nullptr;
        picker.pathResult = result->GetDisplayName(SIGDN_FILESYSPATH, &text);
        if (SUCCEEDED(picker.pathResult) && text != nullptr) {
          picker.path = std::u16string(reinterpret_cast<const char16_t*>(text));
          CoTaskMemFree(text);
        }
      }
    }
  }
  if (SUCCEEDED(com)) {
    CoUninitialize();
  }
}

DWORD WINAPI PickerThread(LPVOID picker) {
  RunPicker(*static_cast<Picker*>(picker));
  return 0;
}

// Runs the picker on its own thread and serves the calling thread's messages meanwhile (its windows stay
// painted and answer other programs) until that thread ends.
HRESULT ShowOnPickerThread(Picker& picker) {
  const unique_kernel_handle thread(CreateThread(nullptr, 0, PickerThread, &picker, 0, nullptr));
  if (!thread) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  const HANDLE handle = thread.get();
  while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // Ended, or the wait failed: the thread is waited for still answering.
  WaitAnswering(&handle, 1, INFINITE);
  return picker.shown;
}

class Win32FolderDialog final : public FolderDialog {
 public:
  std::int32_t AddOptions(std::uint32_t options) override {
    picker_.options |= options;
    return S_OK;
  }
  std::int32_t SetTitle(const std::u16string& title) override {
    picker_.title = title;
    return S_OK;
  }
  std::int32_t SetInitialFolder(const std::u16string& path) override {
    // Only a folder the shell can make an item of is taken.
    ComPtr<IShellItem> item;
    const HRESULT result = SHCreateItemFromParsingName(Wide(path), nullptr, IID_IShellItem,
                                                       reinterpret_cast<void**>(item.GetAddressOf()));
    if (SUCCEEDED(result)) {
      picker_.initialFolder = path;
    }
    return result;
  }
  std::int32_t Show(WindowHandle owner) override {
    // A window of another thread cannot own the picker everywhere (Wine does not show it then), so the
    // owner is disabled for as long as the picker shows, which makes the picker modal to it all the same.
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(owner));
    const bool disabled = window != nullptr && EnableWindow(window, FALSE) == FALSE;
    const HRESULT shown = ShowOnPickerThread(picker_);
    if (disabled) {
      EnableWindow(window, TRUE);
      SetForegroundWindow(window);
    }
    return shown;
  }
  std::int32_t ResultPath(std::u16string& path) override {
    if (picker_.path) {
      path = *picker_.path;
    }
    return picker_.pathResult;
  }

 private:
  Picker picker_;
};

class Win32ShellLink final : public ShellLink {
 public:
  explicit Win32ShellLink(ComPtr<IShellLinkW> link) : link_(std::move(link)) {}
  std::int32_t SetPath(const std::string& target) override {
    const std::optional<std::wstring> wide = Utf8ToWideText(target);
    return wide ? link_->SetPath(wide->c_str()) : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  }
  std::int32_t SetDescription(const std::string& description) override {
    const std::optional<std::wstring> wide = Utf8ToWideText(description);
    return wide ? link_->SetDescription(wide->c_str()) : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  }
  std::int32_t SetWorkingDirectory(const std::string& directory) override {
    const std::optional<std::wstring> wide = Utf8ToWideText(directory);
    return wide ? link_->SetWorkingDirectory(wide->c_str())
                : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  }
  std::int32_t Save(const std::u16string& fileName, bool remember) override {
    ComPtr<IPersistFile> file;
    const HRESULT queried = link_.As(&file);
    if (FAILED(queried)) {
      return queried;
    }
    return file->Save(Wide(fileName), remember ? TRUE : FALSE);
  }

 private:
  ComPtr<IShellLinkW> link_;
};

}  // namespace

static_assert(FolderDialog::kPickFolders == FOS_PICKFOLDERS &&
              FolderDialog::kForceFileSystem == FOS_FORCEFILESYSTEM);
static_assert(FolderDialog::kPathMustExist == FOS_PATHMUSTEXIST &&
              FolderDialog::kNoChangeDir == FOS_NOCHANGEDIR);

std::int32_t Win32Shell::CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) {
  // The dialog object itself is made on the picker's own thread when it is shown.
  dialog = std::make_unique<Win32FolderDialog>();
  return S_OK;
}

std::int32_t Win32Shell::CreateShellLink(std::unique_ptr<ShellLink>& link) {
  ComPtr<IShellLinkW> created;
  const HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                          reinterpret_cast<void**>(created.GetAddressOf()));
  if (SUCCEEDED(result)) {
    link = std::make_unique<Win32ShellLink>(std::move(created));
  }
  return result;
}
