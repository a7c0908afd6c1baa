#include "ui/control_groups.h"

#include <algorithm>

#include "core/utf8_text.h"
#include "resources/resource.h"
#include "ui/control_text.h"
#include "ui/dialog_context.h"
#include "ui/dialog_defaults.h"

namespace {

struct BitSizeChoice {
  const char* text;
  std::array<const char*, 3> directories;
};

constexpr std::array kBitSizes = {
    BitSizeChoice{
        "32 Bit",
        {"c:\\Nembric10App32", "c:\\Program Files\\Halvorn\\Nembric10App32\\", "d:\\Nembric10App32"}},
    BitSizeChoice{"64 Bit",
                  {"c:\\Nembric10App", "c:\\Program Files\\Halvorn\\Nembric10App\\", "d:\\Nembric10App"}},
    BitSizeChoice{"AI Client",
                  {"c:\\NembricAIApp", "c:\\Program Files\\Halvorn\\NembricAIApp\\", "d:\\NembricAIApp"}},
};

template <std::size_t N>
void ShowGroup(DialogContext& ui, const std::array<int, N>& ids, bool show) {
  for (const int id : ids) {
    ShowControl(ui, id, show);
  }
}

// A text from WinHTTP as UTF-8 within the width of `proxyServer`; nullopt when it is empty or not valid.
std::optional<std::string> ProxyText(DialogContext& ui, const std::optional<std::u16string>& text) {
  if (!text || text->empty()) {
    return std::nullopt;
  }
  const std::optional<std::string> utf8 = ui.setup.machine.runtime.WideToUtf8(*text);
  if (!utf8 || utf8->empty()) {
    return std::nullopt;
  }
  return std::string(CutUtf8(*utf8, kProxyServerWidth - 1));
}

// A named proxy of the system's settings: the run's proxy (with its bypass list), shown in label 137.
bool TakeNamedProxy(DialogContext& ui, const ProxySettings& settings) {
  const std::optional<std::string> name = ProxyText(ui, settings.proxy);
  if (!name) {
    return false;
  }
  ui.proxyServer = *name;
  ui.proxyLabel = *name;
  ui.setup.systemProxy = settings;
  return true;
}

}  // namespace

void ShowControl(DialogContext& ui, int controlId, bool show) {
  DialogView& view = ui.view;
  const WindowHandle control = view.GetControl(ui.Window(), controlId);
  if (control == WindowHandle::none) {
    return;
  }
  if (!show && IsComboBox(view, control)) {
    view.CloseDropDown(control);
  }
  view.SetVisible(control, show);
  view.SetEnabled(control, show);
  view.InvalidateWindow(ui.Window(), true);
}

bool DetectProxy(DialogContext& ui) {
  Http& http = ui.setup.machine.http;
  ProxySettings machine;
  if (http.DefaultProxy(machine) && TakeNamedProxy(ui, machine)) {
    return true;
  }
  // No machine-wide proxy (Windows answers "none" wherever `netsh winhttp` set none): the proxy an
  // administrator configured for users.
  ProxySettings user;
  if (!http.UserProxy(user)) {
    return false;
  }
  if (!user.Automatic()) {
    return TakeNamedProxy(ui, user);
  }
  // Windows' own order: automatic detection, then the configuration script, then the named proxy. An
  // automatic configuration names a proxy only per URL: the requests ask it, and a named proxy serves
  // where it finds none; the session itself has none. A configuration script an administrator named shows
  // in the label, else the named proxy; detection alone (Windows' default setting) has found nothing yet,
  // so the proxy pair stays as it is without a proxy.
  ui.setup.systemProxy = user;
  const std::optional<std::string> shown =
      ProxyText(ui, user.autoConfigUrl ? user.autoConfigUrl : user.proxy);
  if (!shown) {
    return false;
  }
  ui.proxyLabel = *shown;
  return true;
}

void ShowComponentControls(DialogContext& ui, ControlGroup group, bool show) {
  const bool proxyFound = DetectProxy(ui);
  if (proxyFound) {
    ui.view.SetControlText(ui.Window(), IDC_PROXY_LABEL, ui.proxyLabel);
  }
  ShowControl(ui, IDC_PROXY_LABEL, proxyFound);
  ShowControl(ui, IDC_PROXY_SERVER, proxyFound);
  if (group == ControlGroup::client) {
    ShowGroup(ui, kClientGroupIds, show);
  } else {
    ShowGroup(ui, kServerGroupIds, show);
  }
}

void ShowSqlGroup(DialogContext& ui, bool show) {
  ShowGroup(ui, kSqlGroupIds, show);
}

std::string FirstClientDirectory(std::string_view bitSize) {
  const auto* choice = std::find_if(kBitSizes.begin(), kBitSizes.end(),
                                    [&](const BitSizeChoice& known) { return bitSize == known.text; });
  return choice == kBitSizes.end() ? std::string() : std::string(choice->directories.front());
}

void ApplyBitSize(DialogContext& ui, std::string_view bitSize) {
  const auto* choice = std::find_if(kBitSizes.begin(), kBitSizes.end(),
                                    [&](const BitSizeChoice& known) { return bitSize == known.text; });
  if (choice == kBitSizes.end()) {
    return;
  }
  DialogView& view = ui.view;
  const WindowHandle field = view.GetControl(ui.Window(), IDC_CLIENT_DIRECTORY);
  view.ResetContent(field);
  for (std::size_t i = 0; i < choice->directories.size(); ++i) {
    view.InsertItem(field, static_cast<int>(i), choice->directories[i]);
  }
  view.SelectItem(field, 0);
}
