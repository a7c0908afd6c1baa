#include "app/run_driver.h"

#include <array>
#include <utility>

#include "app/blank_text.h"
#include "app/leading_number.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/http_session.h"
#include "packages/maintenance.h"
#include "resources/resource.h"
#include "ui/control_groups.h"
#include "ui/control_text.h"

namespace {

constexpr std::size_t kScratchWidth = 256;
constexpr char kClientDirectoryMissing[] = "Please enter Client Directory";
constexpr char kServerDirectoryMissing[] = "Please enter Server Directory";
constexpr char kServerPortMissing[] = "Please enter Server Port";
constexpr char kPasswordsDiffer[] = "Passwords dont mach";
constexpr char kUpdated[] = "Successfully updated Software";
constexpr char kRestartNeeded[] = "An installer asked for a restart of Windows to complete the setup";
constexpr char kCompleted[] = "Successfuly completed Setup";
constexpr std::int32_t kInformationServerPort = 1465;
constexpr char kYes[] = "Yes";

constexpr std::array<std::pair<const char*, SetupOptions>, 3> kSetupTypes = {{
    {"Client", kOptionClient},
    {"Server", kOptionServer},
    {"Both", kOptionClient | kOptionServer},
}};
constexpr std::array<std::pair<const char*, SetupOptions>, 3> kBitSizes = {{
    {"64 Bit", kOption64Bit},
    {"AI Client", kOptionAiClient},
    {"32 Bit", kOption32Bit},
}};
constexpr std::array<std::pair<const char*, SetupOptions>, 4> kEditions = {{
    {"Enterprise", kOptionEnterprise},
    {"Team", kOptionTeam},
    {"Essential", kOptionEssential},
    {"Express", kOptionExpress},
}};

template <std::size_t N>
SetupOptions OptionOf(const std::array<std::pair<const char*, SetupOptions>, N>& table,
                      const std::string& text) {
  for (const auto& [name, option] : table) {
    if (text == name) {
      return option;
    }
  }
  return 0;
}

// The client's shortcut: the AI client and the 64-bit client get one; the 32-bit client none.
void CreateClientShortcut(SetupContext& context) {
  // The client directory ends with a backslash after the client update: one separator before the program.
  std::string directory = context.clientDirectory;
  while (!directory.empty() && directory.back() == '\\') {
    directory.pop_back();
  }
  if ((context.options & kOptionAiClient) != 0) {
    CreateShortcut(context, directory + "\\NembricAI.exe", "Halvorn NembricAI", context.clientDirectory);
  } else if ((context.options & kOption64Bit) != 0) {
    CreateShortcut(context, directory + "\\Nembric10App.exe", "Halvorn Nembric v10.1",
                   context.clientDirectory);
  }
}

}  // namespace

int ReportInputError(SetupContext& context, int controlId, const std::string& message) {
  ShowComponentControls(context, static_cast<int>(kOptionClient), (context.options & kOptionClient) != 0);
  ShowComponentControls(context, static_cast<int>(kOptionServer), (context.options & kOptionServer) != 0);
  ShowSqlGroup(context, context.sqlServerSetup->instanceCount == 0);
  ShowInfo(context, message);
  DialogView& view = context.machine.dialogs;
  view.SetFocus(view.GetControl(context.dialogWindow, controlId));
  return 0;
}

void FinishRun(SetupContext& context, const char* logLine, const char* completion) {
  context.machine.dialogs.EndDialog(context.dialogWindow, 1);
  if (context.restartNeeded) {
    WriteLog(context, kLogUserInterface, kRestartNeeded);
  }
  WriteLog(context, kLogUserInterface, logLine);
  CloseLog(context);
  ShowInfo(context, completion);
  context.machine.runtime.ExitProcess(0);
}

int RunSetup(SetupContext& context) {
  DialogView& view = context.machine.dialogs;
  const WindowHandle dialog = context.dialogWindow;
  context.options = 0;
  const bool maintenance = (context.runMode & (kRunRepair | kRunUninstall)) != 0;
  // The proxy typed into the main dialog is read before the session is opened, so the first run already
  // goes through it. Once open, the session serves every later press.
  if (!maintenance) {
    context.proxyServer = ReadFieldText(view, dialog, IDC_PROXY_SERVER, kProxyServerWidth - 1);
  }
  if (context.httpSession == InternetHandle::none) {
    OpenHttpSession(context);
  }
  if (maintenance) {
    ApplyMaintenanceChoice(context);  // ends the process
    return 0;
  }

  context.options |= OptionOf(kSetupTypes, ReadFieldText(view, dialog, IDC_SETUP_TYPE, kScratchWidth - 1));
  context.options |= OptionOf(kBitSizes, ReadFieldText(view, dialog, IDC_BIT_SIZE, kScratchWidth - 1));
  const bool client = (context.options & kOptionClient) != 0;
  const bool server = (context.options & kOptionServer) != 0;

  context.clientDirectory = ReadFieldText(view, dialog, IDC_CLIENT_DIRECTORY, kClientDirectoryWidth - 1);
  if (client && IsBlankText(context.clientDirectory)) {
    return ReportInputError(context, IDC_CLIENT_DIRECTORY, kClientDirectoryMissing);
  }
  context.serverDirectory = ReadFieldText(view, dialog, IDC_SERVER_DIRECTORY, kServerDirectoryWidth - 1);
  if (server) {
    if (IsBlankText(context.serverDirectory)) {
      return ReportInputError(context, IDC_SERVER_DIRECTORY, kServerDirectoryMissing);
    }
    context.editionName = ReadFieldText(view, dialog, IDC_EDITION, kEditionNameWidth - 1);
    context.options |= OptionOf(kEditions, context.editionName);
    context.serverPort =
        LeadingNumber(std::string_view(ReadFieldText(view, dialog, IDC_PORT, kScratchWidth - 1)));
    if (context.serverPort == 0) {
      return ReportInputError(context, IDC_PORT, kServerPortMissing);
    }
    if (context.serverPort == kInformationServerPort) {
      context.options |= kOptionInformationServerPort;
    }
    context.hosts = ReadFieldText(view, dialog, IDC_HOSTS, kHostsWidth - 1);
    if (ReadFieldText(view, dialog, IDC_INSTALL_SQL, kScratchWidth - 1) == kYes &&
        context.sqlServerSetup->instanceCount == 0) {
      context.options |= kOptionInstallSqlExpress;
    }
    context.options |= context.sqlServerSetup->NativeClientOption();
    context.sqlPassword = ReadFieldText(view, dialog, IDC_PASSWORD, kSqlPasswordWidth - 1);
    context.sqlPasswordAgain = ReadFieldText(view, dialog, IDC_PASSWORD_AGAIN, kSqlPasswordWidth - 1);
    if (context.sqlPassword != context.sqlPasswordAgain) {
      return ReportInputError(context, IDC_PASSWORD_AGAIN, kPasswordsDiffer);
    }
  }

  UpdateSoftware(context);
  if (client) {
    CreateClientShortcut(context);
  }
  FinishRun(context, kUpdated, kCompleted);
  return 0;  // not reached: the process has ended
}
