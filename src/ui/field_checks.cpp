#include "ui/field_checks.h"

#include <algorithm>

#include "core/blank_text.h"
#include "core/leading_number.h"
#include "core/utf8_text.h"
#include "product/setup_state.h"
#include "resources/resource.h"
#include "ui/control_groups.h"
#include "ui/dialog_context.h"

namespace {

constexpr char kSetupTypeMissing[] = "Please select Client or Server Setup or Both";
constexpr char kPortMissing[] =
    "Please select Port 80 for Http, 443 for Https and  1465 for Nembric Information Server or 1064 for "
    "custom";
constexpr char kPortRefused[] =
    "Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom";
constexpr char kClientDirectoryMissing[] =
    "Please select directory in which your Client Programs will be setup";
constexpr char kServerDirectoryMissing[] =
    "Please select directory in which your Server Programs will be setup";
constexpr char kInstallSqlMissing[] = "Please select whether you want to install SQL Server";
constexpr char kEditionMissing[] = "Please select the Edition you want to setup";
constexpr char kPasswordMissing[] = "Please enter your password for SQL Server";
constexpr char kPasswordTooShort[] = "Password should be at least 6 characters ";
constexpr char kPasswordTooPlain[] =
    "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special "
    "character ";
constexpr char kPasswordsDiffer[] = "Second Password should match First Password";
// The checks at OK.
constexpr char kClientDirectoryNeeded[] = "Please enter Client Directory";
constexpr char kServerDirectoryNeeded[] = "Please enter Server Directory";
constexpr char kServerPortNeeded[] = "Please enter Server Port";
constexpr char kPasswordsDontMatch[] = "Passwords dont mach";

constexpr std::string_view kSpecialCharacters = "$#@*";
constexpr std::size_t kMinimumPasswordLength = 6;
constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
constexpr int kFirstCustomPort = 1000;

std::optional<InputError> RequireText(int controlId, std::string_view text, const char* message) {
  if (IsBlankText(text)) {
    return InputError{controlId, message};
  }
  return std::nullopt;
}

std::optional<InputError> CheckPort(std::string_view text) {
  if (IsBlankText(text)) {
    return InputError{IDC_PORT, kPortMissing};
  }
  if (!IsAcceptedPort(PortNumber(text))) {
    return InputError{IDC_PORT, kPortRefused};
  }
  return std::nullopt;
}

std::optional<InputError> CheckPassword(std::string_view text) {
  if (IsBlankText(text)) {
    return InputError{IDC_PASSWORD, kPasswordMissing};
  }
  const std::string password = PasswordAsChecked(text);
  if (password.size() < kMinimumPasswordLength) {
    return InputError{IDC_PASSWORD, kPasswordTooShort};
  }
  const auto has = [&](auto test) { return std::any_of(password.begin(), password.end(), test); };
  const bool lower = has([](char c) { return c >= 'a' && c <= 'z'; });
  const bool upper = has([](char c) { return c >= 'A' && c <= 'Z'; });
  const bool digit = has([](char c) { return c >= '0' && c <= '9'; });
  const bool special = has([](char c) { return kSpecialCharacters.find(c) != std::string_view::npos; });
  if (lower && upper && digit && special) {
    return std::nullopt;
  }
  return InputError{IDC_PASSWORD, kPasswordTooPlain};
}

// The Setup Type shows the groups it chooses; Server or Both look for an installed SQL Server, which
// hides the SQL Server fields.
void ApplySetupType(DialogContext& ui, std::string_view text) {
  ShowComponentControls(ui, ControlGroup::client, text == "Client" || text == "Both");
  if (text == "Server" || text == "Both") {
    ShowComponentControls(ui, ControlGroup::server, true);
    if (ui.sql.DetectSqlServer()) {
      ShowSqlGroup(ui, false);
    }
    return;
  }
  ShowComponentControls(ui, ControlGroup::server, false);
  ShowSqlGroup(ui, false);
}

}  // namespace

int PortNumber(std::string_view text) {
  return LeadingNumber(text);
}

bool IsAcceptedPort(int port) {
  return port == kHttpPort || port == kHttpsPort || port >= kFirstCustomPort;
}

std::string PasswordAsChecked(std::string_view text) {
  return TrimTrailingBlanks(std::string(CutUtf8(text, kSqlPasswordWidth - 1)));
}

std::optional<InputError> CheckFieldText(int controlId, std::string_view text,
                                         std::string_view firstPassword) {
  switch (controlId) {
    case IDC_SETUP_TYPE:
      return RequireText(controlId, text, kSetupTypeMissing);
    case IDC_PORT:
      return CheckPort(text);
    case IDC_CLIENT_DIRECTORY:
      return RequireText(controlId, text, kClientDirectoryMissing);
    case IDC_SERVER_DIRECTORY:
      return RequireText(controlId, text, kServerDirectoryMissing);
    case IDC_INSTALL_SQL:
      return RequireText(controlId, text, kInstallSqlMissing);
    case IDC_EDITION:
      return RequireText(controlId, text, kEditionMissing);
    case IDC_PASSWORD:
      return CheckPassword(text);
    case IDC_PASSWORD_AGAIN:
      if (PasswordAsChecked(text) != firstPassword) {
        return InputError{controlId, kPasswordsDiffer};
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<InputError> CheckChoices(const SetupChoices& choices) {
  if (ChoosesClient(choices.setupType) && IsBlankText(choices.clientDirectory)) {
    return InputError{IDC_CLIENT_DIRECTORY, kClientDirectoryNeeded};
  }
  if (!ChoosesServer(choices.setupType)) {
    return std::nullopt;
  }
  if (IsBlankText(choices.serverDirectory)) {
    return InputError{IDC_SERVER_DIRECTORY, kServerDirectoryNeeded};
  }
  if (choices.port == 0) {
    return InputError{IDC_PORT, kServerPortNeeded};
  }
  // Compared as typed, whether or not SQL Server is to be installed.
  if (choices.sqlPassword != choices.sqlPasswordAgain) {
    return InputError{IDC_PASSWORD_AGAIN, kPasswordsDontMatch};
  }
  return std::nullopt;
}

int ValidateField(DialogContext& ui, int controlId, std::string_view text) {
  if (controlId == IDC_PASSWORD && !IsBlankText(text)) {
    ui.sqlPassword = PasswordAsChecked(text);
  }
  if (const std::optional<InputError> error = CheckFieldText(controlId, text, ui.sqlPassword)) {
    ShowInfo(ui.setup, error->message);
    return 0;
  }
  if (controlId == IDC_SETUP_TYPE) {
    ApplySetupType(ui, text);
  } else if (controlId == IDC_BIT_SIZE) {
    ApplyBitSize(ui, text);
  }
  return 1;
}

void ShowInputError(DialogContext& ui, const InputError& error) {
  ShowInfo(ui.setup, error.message);
  DialogView& view = ui.view;
  const WindowHandle field = view.GetControl(ui.Window(), error.controlId);
  view.SetFocus(field);
  view.SelectAllText(field);
  view.NextDialogControl(ui.Window(), field);
}
