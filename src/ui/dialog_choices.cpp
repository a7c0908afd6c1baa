#include "ui/dialog_choices.h"

#include <array>
#include <optional>
#include <utility>

#include "core/blank_text.h"
#include "core/leading_number.h"
#include "resources/resource.h"
#include "ui/control_groups.h"
#include "ui/control_text.h"
#include "ui/dialog_context.h"
#include "ui/field_checks.h"

namespace {

// Texts without a field of their own are read into 256 bytes.
constexpr std::size_t kScratchWidth = 256;
constexpr char kYes[] = "Yes";

constexpr std::array<std::pair<const char*, SetupType>, 3> kSetupTypes = {{
    {"Client", SetupType::client},
    {"Server", SetupType::server},
    {"Both", SetupType::both},
}};
constexpr std::array<std::pair<const char*, BitSize>, 3> kBitSizes = {{
    {"64 Bit", BitSize::x64},
    {"AI Client", BitSize::aiClient},
    {"32 Bit", BitSize::x32},
}};
constexpr std::array<std::pair<const char*, Edition>, 4> kEditions = {{
    {"Enterprise", Edition::enterprise},
    {"Team", Edition::team},
    {"Essential", Edition::essential},
    {"Express", Edition::express},
}};

// The value whose name is exactly the text; `none` for any other text.
template <typename Value, std::size_t N>
Value Named(const std::array<std::pair<const char*, Value>, N>& table, const std::string& text) {
  for (const auto& [name, value] : table) {
    if (text == name) {
      return value;
    }
  }
  return Value::none;
}

}  // namespace

SetupType SetupTypeNamed(const std::string& text) {
  return Named(kSetupTypes, text);
}

void FillSetupFields(DialogContext& ui, const std::map<int, std::string>& texts) {
  const auto text = [&texts](int id) {
    const auto found = texts.find(id);
    return found == texts.end() ? std::optional<std::string>() : found->second;
  };
  // As the person's Tab would: the BitSize fills the client directories, the given texts follow, and the
  // Setup Type shows its groups and looks for an installed SQL Server.
  if (const auto bitSize = text(IDC_BIT_SIZE)) {
    ValidateField(ui, IDC_BIT_SIZE, *bitSize);
  }
  for (const auto& [id, value] : texts) {
    ui.view.SetControlText(ui.Window(), id, value);
  }
  if (const auto setupType = text(IDC_SETUP_TYPE)) {
    ValidateField(ui, IDC_SETUP_TYPE, *setupType);
  }
}

SetupChoices ReadSetupChoices(DialogContext& ui) {
  DialogView& view = ui.view;
  const WindowHandle dialog = ui.Window();
  return ChoicesFromFields(
      [&](int id, std::size_t width) { return ReadFieldText(view, dialog, id, width - 1); }, ui.proxyServer);
}

SetupChoices ChoicesFromFields(const FieldReader& read, const std::string& detectedProxy) {
  SetupChoices choices;
  choices.setupType = Named(kSetupTypes, read(IDC_SETUP_TYPE, kScratchWidth));
  choices.bitSize = Named(kBitSizes, read(IDC_BIT_SIZE, kScratchWidth));
  choices.clientDirectory = read(IDC_CLIENT_DIRECTORY, kClientDirectoryWidth);
  choices.serverDirectory = read(IDC_SERVER_DIRECTORY, kServerDirectoryWidth);
  // The whole text is compared: a name with more after it is no edition.
  choices.edition = Named(kEditions, read(IDC_EDITION, kScratchWidth));
  choices.port = LeadingNumber(std::string_view(read(IDC_PORT, kScratchWidth)));
  choices.hosts = read(IDC_HOSTS, kHostsWidth);
  choices.installSqlServer = read(IDC_INSTALL_SQL, kScratchWidth) == kYes;
  choices.sqlPassword = read(IDC_PASSWORD, kSqlPasswordWidth);
  choices.sqlPasswordAgain = read(IDC_PASSWORD_AGAIN, kSqlPasswordWidth);
  // A blank field keeps the proxy that was detected: behind a mandatory proxy the downloads need it.
  const std::string typedProxy = read(IDC_PROXY_SERVER, kProxyServerWidth);
  choices.proxyServer = IsBlankText(typedProxy) ? detectedProxy : typedProxy;
  return choices;
}

MaintenanceChoice ReadMaintenanceChoice(DialogContext& ui) {
  DialogView& view = ui.view;
  const WindowHandle dialog = ui.Window();
  MaintenanceChoice choice;
  if (view.IsChecked(dialog, IDC_REPAIR)) {
    choice.action = MaintenanceChoice::Action::repair;
  } else if (view.IsChecked(dialog, IDC_UNINSTALL)) {
    choice.action = MaintenanceChoice::Action::uninstall;
  }
  choice.server = view.IsChecked(dialog, IDC_APPLY_SERVER);
  choice.client = view.IsChecked(dialog, IDC_APPLY_CLIENT);
  return choice;
}
