#include "ui/folder_picker.h"

#include <array>

#include "core/path_text.h"
#include "core/utf8_text.h"
#include "product/setup_state.h"
#include "resources/resource.h"
#include "ui/control_text.h"
#include "ui/dialog_context.h"

namespace {

constexpr char kPickerTitle[] = "Select Nembric installation folder";
constexpr char kNothingFound[] =
    "Setup could not find an installation of Nembric. Please select installation folder";
constexpr std::size_t kPathChars = 260;  // MAX_PATH
constexpr std::size_t kTitleChars = 128;
constexpr std::uint32_t kPickerOptions = FolderDialog::kPickFolders | FolderDialog::kForceFileSystem |
                                         FolderDialog::kPathMustExist | FolderDialog::kNoChangeDir;
constexpr std::uint32_t kApartmentThreaded = 0x2;  // COINIT_APARTMENTTHREADED
constexpr std::uint32_t kDisableOle1Dde = 0x4;     // COINIT_DISABLE_OLE1DDE

constexpr std::array<const char*, 4> kFixedCandidates = {"C:\\Program Files\\Halvorn\\Nembric10",
                                                         "C:\\Program Files (x86)\\Halvorn\\Nembric10",
                                                         "C:\\Nembric10", "D:\\Nembric10"};
constexpr std::array<const char*, 4> kBelowEachRoot = {
    "", "Halvorn\\Nembric10", "Program Files\\Halvorn\\Nembric10", "Program Files (x86)\\Halvorn\\Nembric10"};

bool HoldsMarker(Files& files, const std::string& folder) {
  return files.FileAttributes(JoinPath(folder, kInstallationMarker)).has_value();
}

}  // namespace

std::optional<std::string> FindInstalledFolder(Files& files) {
  if (const std::optional<std::string> found = files.FindOnSearchPath(kInstallationMarker)) {
    const std::size_t separator = found->find_last_of("\\/");
    return separator == std::string::npos ? std::string() : found->substr(0, separator);
  }
  std::vector<std::string> candidates;
  for (const int folder : {Files::kFolderProgramFiles, Files::kFolderProgramFilesX86}) {
    if (std::optional<std::string> path = files.KnownFolder(folder)) {
      candidates.push_back(std::move(*path));
    }
  }
  candidates.insert(candidates.end(), kFixedCandidates.begin(), kFixedCandidates.end());
  for (const std::string& candidate : candidates) {
    if (HoldsMarker(files, candidate)) {
      return candidate;
    }
  }
  const std::uint32_t drives = files.LogicalDrives();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if ((drives & (1U << static_cast<unsigned>(letter - 'A'))) == 0 ||
        files.DriveType(root) != Files::kDriveFixed) {
      continue;
    }
    for (const char* below : kBelowEachRoot) {
      const std::string folder = root + below;
      if (HoldsMarker(files, folder)) {
        return folder;
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> PickFolder(DialogContext& ui, WindowHandle owner,
                                      const std::string& initialFolder) {
  Runtime& runtime = ui.setup.machine.runtime;
  // The dialog thread runs in the multithreaded apartment, so this start fails there and the dialog is
  // used anyway; a start that worked is undone at the end.
  const bool comStarted = !ComFailed(runtime.InitializeCom(kApartmentThreaded | kDisableOle1Dde));
  std::optional<std::string> picked;
  {
    std::unique_ptr<FolderDialog> dialog;
    if (!ComFailed(ui.setup.machine.shell.CreateFolderDialog(dialog)) && dialog) {
      dialog->AddOptions(kPickerOptions);
      dialog->SetTitle(runtime.Utf8ToWide(std::string(CutUtf8(kPickerTitle, kTitleChars))).value_or(u""));
      if (!initialFolder.empty()) {
        if (const std::optional<std::u16string> folder =
                runtime.Utf8ToWide(CutUtf8(initialFolder, kPathChars))) {
          dialog->SetInitialFolder(*folder);
        }
      }
      std::u16string path;
      if (!ComFailed(dialog->Show(owner)) && !ComFailed(dialog->ResultPath(path))) {
        picked = runtime.WideToUtf8(path);
      }
    }
  }
  if (comStarted) {
    runtime.UninitializeCom();
  }
  // A path that does not fit the setup's paths is no pick: it is never cut.
  if (!picked || picked->empty() || picked->size() >= kPathChars) {
    return std::nullopt;
  }
  return picked;
}

void BrowseForField(DialogContext& ui, WindowHandle dialog, int controlId) {
  DialogView& view = ui.view;
  const WindowHandle field = view.GetControl(dialog, controlId);
  std::string initial = view.WindowText(field, kPathChars).value_or(std::string());
  if (initial.empty()) {
    initial = FindInstalledFolder(ui.setup.machine.files).value_or(std::string());
  }
  const std::optional<std::string> folder = PickFolder(ui, dialog, initial);
  if (!folder) {
    return;
  }
  const bool combo = IsComboBox(view, field);
  if (combo && (view.Style(field) & DialogView::kComboTypeMask) == DialogView::kComboDropDownList) {
    view.ResetContent(field);
    view.InsertItem(field, 0, *folder);
    view.SelectItem(field, 0);
  } else {
    view.SetText(field, *folder);
  }
  view.NextDialogControl(dialog, WindowHandle::none);
}

void SearchInstallation(DialogContext& ui, WindowHandle dialog) {
  const std::optional<std::string> folder = FindInstalledFolder(ui.setup.machine.files);
  if (!folder) {
    ShowInfo(ui.setup, kNothingFound);
    return;
  }
  DialogView& view = ui.view;
  const WindowHandle field = view.GetControl(dialog, IDC_SERVER_DIRECTORY);
  view.SetText(field, std::string(CutUtf8(*folder, kServerDirectoryWidth - 1)));
  view.SetFocus(field);
}
