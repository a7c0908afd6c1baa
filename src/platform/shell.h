#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/handles.h"

// The system's folder dialog (IFileDialog of CLSID_FileOpenDialog), owned by its std::unique_ptr and
// released when that goes. Results are HRESULTs; texts are UTF-16.
class FolderDialog {
 public:
  static constexpr std::uint32_t kPickFolders = 0x20;      // FOS_PICKFOLDERS
  static constexpr std::uint32_t kForceFileSystem = 0x40;  // FOS_FORCEFILESYSTEM
  static constexpr std::uint32_t kPathMustExist = 0x800;   // FOS_PATHMUSTEXIST
  static constexpr std::uint32_t kNoChangeDir = 0x8;       // FOS_NOCHANGEDIR

  FolderDialog() = default;
  FolderDialog(const FolderDialog&) = delete;
  FolderDialog& operator=(const FolderDialog&) = delete;
  virtual ~FolderDialog() = default;

  // GetOptions, then SetOptions with the given options added.
  virtual std::int32_t AddOptions(std::uint32_t options) = 0;
  virtual std::int32_t SetTitle(const std::u16string& title) = 0;
  // SHCreateItemFromParsingName of the path; when that works, SetFolder with the item and SetFileName with
  // the path, then the item is released.
  virtual std::int32_t SetInitialFolder(const std::u16string& path) = 0;
  // Show with the owner window; fails when the user cancels.
  virtual std::int32_t Show(WindowHandle owner) = 0;
  // GetResult and the item's file-system path (SIGDN_FILESYSPATH).
  virtual std::int32_t ResultPath(std::u16string& path) = 0;
};

// A shell link object (CLSID_ShellLink through IShellLinkW), owned by its std::unique_ptr and released when
// that goes. Results are HRESULTs.
class ShellLink {
 public:
  ShellLink() = default;
  ShellLink(const ShellLink&) = delete;
  ShellLink& operator=(const ShellLink&) = delete;
  virtual ~ShellLink() = default;

  virtual std::int32_t SetPath(const std::string& target) = 0;
  virtual std::int32_t SetDescription(const std::string& description) = 0;
  virtual std::int32_t SetWorkingDirectory(const std::string& directory) = 0;
  // QueryInterface for IPersistFile, then Save under the name with the remember flag; the interface is
  // released again.
  virtual std::int32_t Save(const std::u16string& fileName, bool remember) = 0;
};

class Shell {
 public:
  Shell() = default;
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;
  virtual ~Shell() = default;

  // CoCreateInstance of the file open dialog, in process, for IFileDialog.
  virtual std::int32_t CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) = 0;
  // CoCreateInstance of the shell link, in process, for IShellLinkW.
  virtual std::int32_t CreateShellLink(std::unique_ptr<ShellLink>& link) = 0;
};
