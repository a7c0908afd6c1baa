#include "ui/field_checks.h"

#include <algorithm>

#include "app/blank_text.h"
#include "app/leading_number.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "resources/resource.h"
#include "ui/control_groups.h"

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

constexpr std::string_view kSpecialCharacters = "$#@*";
constexpr std::size_t kMinimumPasswordLength = 6;
constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
constexpr int kFirstCustomPort = 1000;

// Shows the message of a failed check and keeps the user in the field.
int Refuse(SetupContext& context, const char* message) {
  ShowInfo(context, message);
  return 0;
}

// A field that only has to hold something.
int RequireText(SetupContext& context, std::string_view text, const char* message) {
  return IsBlankText(text) ? Refuse(context, message) : 1;
}

}  // namespace

int PortNumber(std::string_view text) {
  return LeadingNumber(text);
}

bool IsAcceptedPort(int port) {
  return port == kHttpPort || port == kHttpsPort || port >= kFirstCustomPort;
}

int CheckSetupType(SetupContext& context, std::string_view text) {
  if (IsBlankText(text)) {
    return Refuse(context, kSetupTypeMissing);
  }
  ShowComponentControls(context, kClientGroup, text == "Client" || text == "Both");
  if (text == "Server" || text == "Both") {
    ShowComponentControls(context, kServerGroup, true);
    if (context.sqlServerSetup->DetectSqlServer()) {
      HideSqlGroup(context);
    }
    return 1;
  }
  ShowComponentControls(context, kServerGroup, false);
  HideSqlGroup(context);
  return 1;
}

int CheckPort(SetupContext& context, std::string_view text) {
  if (IsBlankText(text)) {
    return Refuse(context, kPortMissing);
  }
  return IsAcceptedPort(PortNumber(text)) ? 1 : Refuse(context, kPortRefused);
}

int CheckPassword(SetupContext& context, std::string_view text) {
  if (IsBlankText(text)) {
    return Refuse(context, kPasswordMissing);
  }
  context.sqlPassword = TrimTrailingBlanks(text.substr(0, kSqlPasswordWidth - 1));
  const std::string& password = context.sqlPassword;
  if (password.size() < kMinimumPasswordLength) {
    return Refuse(context, kPasswordTooShort);
  }
  const auto has = [&](auto test) { return std::any_of(password.begin(), password.end(), test); };
  const bool lower = has([](char c) { return c >= 'a' && c <= 'z'; });
  const bool upper = has([](char c) { return c >= 'A' && c <= 'Z'; });
  const bool digit = has([](char c) { return c >= '0' && c <= '9'; });
  const bool special = has([](char c) { return kSpecialCharacters.find(c) != std::string_view::npos; });
  return lower && upper && digit && special ? 1 : Refuse(context, kPasswordTooPlain);
}

int CheckPasswordAgain(SetupContext& context, std::string_view text) {
  context.sqlPasswordAgain = TrimTrailingBlanks(text.substr(0, kSqlPasswordWidth - 1));
  return context.sqlPasswordAgain == context.sqlPassword ? 1 : Refuse(context, kPasswordsDiffer);
}

int ValidateField(SetupContext& context, int controlId, std::string_view text) {
  switch (controlId) {
    case IDC_SETUP_TYPE:
      return CheckSetupType(context, text);
    case IDC_BIT_SIZE:
      return ApplyBitSize(context, text);
    case IDC_PORT:
      return CheckPort(context, text);
    case IDC_CLIENT_DIRECTORY:
      return RequireText(context, text, kClientDirectoryMissing);
    case IDC_SERVER_DIRECTORY:
      return RequireText(context, text, kServerDirectoryMissing);
    case IDC_INSTALL_SQL:
      return RequireText(context, text, kInstallSqlMissing);
    case IDC_EDITION:
      return RequireText(context, text, kEditionMissing);
    case IDC_PASSWORD:
      return CheckPassword(context, text);
    case IDC_PASSWORD_AGAIN:
      return CheckPasswordAgain(context, text);
    default:
      return 1;
  }
}
