#pragma once

#include "platform/shell.h"

class Win32Shell final : public Shell {
 public:
  std::int32_t CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) override;
  std::int32_t CreateShellLink(std::unique_ptr<ShellLink>& link) override;
};
