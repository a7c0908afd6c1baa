#include "ui/setup_dialog.h"

#include <array>

#include "resources/resource.h"
#include "steps/download/http_session.h"
#include "ui/control_groups.h"
#include "ui/control_text.h"
#include "ui/dialog_choices.h"
#include "ui/field_checks.h"
#include "ui/folder_picker.h"
#include "ui/passive_window.h"

namespace {

constexpr char kCancelQuestion[] = "Do you want to Cancel";
constexpr char kCancelCaption[] = "Halvorn Nembric v 10.1";
constexpr std::size_t kCheckedTextChars = 1024;
// The window menu's item of the pre-flight check; its command is below the system's own.
constexpr int kCheckCommand = 0x0010;
constexpr char kCheckMenuText[] = "&Pre-flight check...";
// Beside it, the changes a run of the dialog's choices would make.
constexpr int kPlanCommand = 0x0020;
constexpr char kPlanMenuText[] = "&What will change...";

// The fields that get the keyboard procedure, in this order.
constexpr std::array kSubclassedFields = {
    IDC_SETUP_TYPE, IDC_EDITION, IDC_CLIENT_DIRECTORY, IDC_SEARCH,   IDC_SERVER_DIRECTORY, IDC_BIT_SIZE,
    IDC_PORT,       IDC_HOSTS,   IDC_INSTALL_SQL,      IDC_PASSWORD, IDC_PASSWORD_AGAIN,   IDC_PROXY_SERVER};
// The maintenance dialog's controls that paint in the dialog's colours rather than in the visual style.
constexpr std::array kUnthemedControls = {IDC_APPLY_SERVER, IDC_APPLY_CLIENT, IDC_UNINSTALL,
                                          IDC_REPAIR,       IDC_ACTION_GROUP, IDC_APPLY_GROUP};

bool IsDirectoryField(int fieldId) {
  return fieldId == IDC_CLIENT_DIRECTORY || fieldId == IDC_SERVER_DIRECTORY;
}

}  // namespace

bool SetupDialog::OnInitDialog(WindowHandle dialog) {
  SubclassFields(dialog);
  context.backgroundBrush = context.view.CreateSolidBrush(context.backgroundColour);
  for (const int id : kUnthemedControls) {
    const WindowHandle control = context.view.GetControl(dialog, id);
    if (control != WindowHandle::none) {
      context.view.RemoveTheme(control);
    }
  }
  InitSetupDialog(context, dialog);
  if (!UsesMaintenanceDialog(context.setup.runMode)) {
    context.view.AddSystemMenuItem(dialog, kCheckCommand, kCheckMenuText);
    context.view.AddSystemMenuItem(dialog, kPlanCommand, kPlanMenuText);
  }
  return true;
}

void SetupDialog::OnDpiChanged(WindowHandle dialog) {
  PlaceStatusAndProgress(context.view, dialog);
}

bool SetupDialog::OnSystemCommand(WindowHandle /*dialog*/, int command) {
  if ((command != kCheckCommand && command != kPlanCommand) || UsesMaintenanceDialog(context.setup.runMode)) {
    return false;
  }
  if (const std::optional<SetupChoices> choices = CheckedChoices()) {
    if (command == kCheckCommand) {
      run_.CheckSetup(*choices);
    } else {
      run_.PlanSetup(*choices);
    }
  }
  return true;
}

void SetupDialog::SubclassFields(WindowHandle dialog) {
  DialogView& view = context.view;
  for (const int id : kSubclassedFields) {
    const WindowHandle field = view.GetControl(dialog, id);
    if (field == WindowHandle::none) {
      continue;
    }
    view.SubclassField(field, id, *this);
    if (!IsComboBox(view, field)) {
      continue;
    }
    // Keys typed into a combo box arrive at its edit part: it reports under the combo box's ID.
    if (const std::optional<DialogView::ComboParts> parts = view.ComboBoxParts(field)) {
      for (const WindowHandle part : {parts->edit, parts->list}) {
        if (part != WindowHandle::none) {
          view.SubclassField(part, id, *this);
        }
      }
    }
  }
}

bool SetupDialog::OnCommand(WindowHandle dialog, int controlId, int /*notifyCode*/) {
  switch (controlId) {
    case IDC_CANCEL:
      ConfirmCancel();
      return true;
    case IDC_DARK_MODE:
      ToggleTheme(dialog);
      return true;
    case IDC_PROXY:
      ShowControl(context, IDC_PROXY_LABEL, true);
      ShowControl(context, IDC_PROXY_SERVER, true);
      context.view.RedrawAll(dialog);
      return true;
    case IDC_SEARCH:
      SearchInstallation(context, dialog);
      return true;
    case IDC_OK:
      OnOk();
      return true;
    default:
      return false;
  }
}

void SetupDialog::ConfirmCancel() {
  DialogView& dialogs = context.view;
  const int answer = dialogs.ShowMessageBox(
      dialogs.ActiveWindow(), kCancelQuestion, kCancelCaption,
      DialogView::kYesNoCancel | DialogView::kIconInformation | DialogView::kDefaultButton2);
  // Yes and No both end the program at once; Cancel (or a box that could not be shown) returns to the dialog.
  if (answer == DialogView::kAnswerYes || answer == DialogView::kAnswerNo) {
    run_.Cancel();
  }
}

void SetupDialog::OnOk() {
  SetupState& setup = context.setup;
  // The session is opened by the first press and serves every later one.
  const auto openSession = [&setup](const std::string& proxy) {
    if (setup.httpSession == InternetHandle::none) {
      OpenHttpSession(setup, proxy);
    }
  };
  if (UsesMaintenanceDialog(setup.runMode)) {
    openSession(context.proxyServer);
    run_.RunMaintenance(ReadMaintenanceChoice(context));
    return;
  }
  if (const std::optional<SetupChoices> choices = CheckedChoices()) {
    run_.RunSetup(*choices);
  }
}

std::optional<SetupChoices> SetupDialog::CheckedChoices() {
  // The fields are read before the session is opened, so the first request already goes through a proxy
  // typed into the dialog; the session then serves every later one.
  SetupChoices choices = ReadSetupChoices(context);
  if (context.setup.httpSession == InternetHandle::none) {
    OpenHttpSession(context.setup, choices.proxyServer);
  }
  if (const std::optional<InputError> error = CheckChoices(choices)) {
    ReportInputError(choices, *error);
    return std::nullopt;
  }
  return choices;
}

void SetupDialog::ReportInputError(const SetupChoices& choices, const InputError& error) {
  ShowComponentControls(context, ControlGroup::client, ChoosesClient(choices.setupType));
  ShowComponentControls(context, ControlGroup::server, ChoosesServer(choices.setupType));
  ShowSqlGroup(context, context.sql.instanceCount == 0);
  ShowInputError(context, error);
}

void SetupDialog::EndDialog() {
  context.view.EndDialog(context.Window(), 1);
}

void SetupDialog::ToggleTheme(WindowHandle dialog) {
  context.textColour = kWhiteText;
  if (context.themeState == kBlueTheme) {
    context.themeState = kDarkTheme;
    context.backgroundColour = kDarkBackground;
  } else {
    context.themeState = kBlueTheme;
    context.backgroundColour = kBlueBackground;
  }
  DialogView& view = context.view;
  view.DeleteBrush(context.backgroundBrush);
  context.backgroundBrush = view.CreateSolidBrush(context.backgroundColour);
  view.RedrawAll(dialog);
}

BrushHandle SetupDialog::OnControlColour(ColourMessage message, DeviceContext deviceContext) {
  if (message != ColourMessage::dialog) {
    context.view.SetTransparentBackground(deviceContext);
    context.view.SetTextColour(deviceContext, context.textColour);
  }
  return context.backgroundBrush;
}

bool SetupDialog::OnFieldKeyDown(WindowHandle /*receiving*/, int fieldId, int virtualKey, bool altDown) {
  if (IsDirectoryField(fieldId) && virtualKey == DialogView::kKeyF4 && !altDown) {
    BrowseForField(context, context.Window(), fieldId);
    return true;
  }
  return false;
}

bool SetupDialog::OnFieldKeyUp(WindowHandle receiving, int fieldId, int virtualKey) {
  if (virtualKey != DialogView::kKeyTab && virtualKey != DialogView::kKeyEnter) {
    return false;
  }
  DialogView& view = context.view;
  const WindowHandle dialog = context.Window();
  const WindowHandle field = view.GetControl(dialog, fieldId);
  const std::string text = view.WindowText(field, kCheckedTextChars).value_or(std::string());
  if (ValidateField(context, fieldId, text) != 0) {
    view.NextDialogControl(dialog, WindowHandle::none);
    return false;
  }
  view.SetFocus(receiving);
  view.SelectAllText(receiving);
  view.NextDialogControl(dialog, receiving);
  return true;
}

bool SetupDialog::OnFieldMouseButton(WindowHandle receiving, int fieldId, int x, int y) {
  if (!IsDirectoryField(fieldId)) {
    return false;
  }
  DialogView& view = context.view;
  const WindowHandle combo = view.ControlId(receiving) == fieldId ? receiving : view.Parent(receiving);
  if (view.OnDropDownButton(combo, receiving, x, y).value_or(false)) {
    BrowseForField(context, context.Window(), fieldId);
    return true;
  }
  return false;
}
