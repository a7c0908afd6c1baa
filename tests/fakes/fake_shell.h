#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"

// The folder dialog with a scripted person in front of it: it picks `pick`, or cancels when there is none.
class FakeShell final : public Shell {
 public:
  struct Opened {
    std::uint32_t options = 0;
    std::u16string title;
    std::optional<std::u16string> initialFolder;
    WindowHandle owner = WindowHandle::none;
  };

  std::int32_t CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) override;
  std::int32_t CreateShellLink(std::unique_ptr<ShellLink>& link) override;

  // Shell links as they were set up, and the name each was saved under (empty when it was not saved).
  struct Link {
    std::string path;
    std::string description;
    std::string workingDirectory;
    std::u16string savedAs;
    bool remember = false;
  };
  std::vector<Link> links;
  int liveLinks = 0;
  std::int32_t linkCreateResult = 0;
  std::int32_t linkSaveResult = 0;
  // Called after each change the fake makes to the machine (the crash tests stop a run there).
  std::function<void()> changed;
  // Where a saved link is written as a file (a link saved into a folder that is not there fails, as
  // IPersistFile::Save does).
  Files* disk = nullptr;

  // Set by the test.
  std::int32_t createResult = 0;
  std::optional<std::u16string> pick;
  // Folders the shell can make an item of; an initial folder outside them is refused.
  std::vector<std::u16string> existingFolders;

  // Recorded: each dialog as it was shown (or only made).
  std::vector<Opened> dialogs;
  int liveDialogs = 0;
};
