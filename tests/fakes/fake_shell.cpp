#include "fake_shell.h"

#include <algorithm>

namespace {

constexpr std::int32_t kCancelled = static_cast<std::int32_t>(0x800704C7U);  // HRESULT of ERROR_CANCELLED
constexpr std::int32_t kFileNotFound = static_cast<std::int32_t>(0x80070002U);

class FakeFolderDialog final : public FolderDialog {
 public:
  FakeFolderDialog(FakeShell& shell, std::size_t index) : shell_(shell), index_(index) {
    ++shell_.liveDialogs;
  }
  FakeFolderDialog(const FakeFolderDialog&) = delete;
  FakeFolderDialog& operator=(const FakeFolderDialog&) = delete;
  ~FakeFolderDialog() override { --shell_.liveDialogs; }

  std::int32_t AddOptions(std::uint32_t options) override {
    Record().options |= options;
    return 0;
  }
  std::int32_t SetTitle(const std::u16string& title) override {
    Record().title = title;
    return 0;
  }
  std::int32_t SetInitialFolder(const std::u16string& path) override {
    const auto& folders = shell_.existingFolders;
    if (std::find(folders.begin(), folders.end(), path) == folders.end()) {
      return kFileNotFound;
    }
    Record().initialFolder = path;
    return 0;
  }
  std::int32_t Show(WindowHandle owner) override {
    Record().owner = owner;
    return shell_.pick ? 0 : kCancelled;
  }
  std::int32_t ResultPath(std::u16string& path) override {
    if (!shell_.pick) {
      return kCancelled;
    }
    path = *shell_.pick;
    return 0;
  }

 private:
  FakeShell::Opened& Record() { return shell_.dialogs[index_]; }

  FakeShell& shell_;
  std::size_t index_;
};

class FakeShellLink final : public ShellLink {
 public:
  FakeShellLink(FakeShell& shell, std::size_t index) : shell_(shell), index_(index) { ++shell_.liveLinks; }
  FakeShellLink(const FakeShellLink&) = delete;
  FakeShellLink& operator=(const FakeShellLink&) = delete;
  ~FakeShellLink() override { --shell_.liveLinks; }

  std::int32_t SetPath(const std::string& target) override {
    Record().path = target;
    return 0;
  }
  std::int32_t SetDescription(const std::string& description) override {
    Record().description = description;
    return 0;
  }
  std::int32_t SetWorkingDirectory(const std::string& directory) override {
    Record().workingDirectory = directory;
    return 0;
  }
  std::int32_t Save(const std::u16string& fileName, bool remember) override {
    if (shell_.linkSaveResult < 0) {
      return shell_.linkSaveResult;
    }
    if (shell_.disk != nullptr) {
      const std::string path(fileName.begin(), fileName.end());
      const FileHandle file =
          shell_.disk->Create(path, Files::kGenericWrite, 0, Files::kCreateAlways, Files::kAttributeNormal);
      if (file == FileHandle::invalid || file == FileHandle::none) {
        constexpr auto kPathNotFound = static_cast<std::int32_t>(0x80070003U);
        return kPathNotFound;
      }
      const bool written = shell_.disk->Write(file, "L\0\0\0");
      shell_.disk->Close(file);
      if (!written) {
        return static_cast<std::int32_t>(0x80004005U);  // E_FAIL
      }
    }
    Record().savedAs = fileName;
    Record().remember = remember;
    if (shell_.changed) {
      shell_.changed();
    }
    return 0;
  }

 private:
  FakeShell::Link& Record() { return shell_.links[index_]; }

  FakeShell& shell_;
  std::size_t index_;
};

}  // namespace

std::int32_t FakeShell::CreateShellLink(std::unique_ptr<ShellLink>& link) {
  if (linkCreateResult < 0) {
    return linkCreateResult;
  }
  links.emplace_back();
  link = std::make_unique<FakeShellLink>(*this, links.size() - 1);
  return 0;
}

std::int32_t FakeShell::CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) {
  if (createResult < 0) {
    return createResult;
  }
  dialogs.emplace_back();
  dialog = std::make_unique<FakeFolderDialog>(*this, dialogs.size() - 1);
  return 0;
}
