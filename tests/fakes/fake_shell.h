#pragma once

#include <optional>
#include <string>
#include <vector>

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

  // Set by the test.
  std::int32_t createResult = 0;
  std::optional<std::u16string> pick;
  // Folders the shell can make an item of; an initial folder outside them is refused.
  std::vector<std::u16string> existingFolders;

  // Recorded: each dialog as it was shown (or only made).
  std::vector<Opened> dialogs;
  int liveDialogs = 0;
};
