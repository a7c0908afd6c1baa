#include "ui/control_groups.h"

#include <algorithm>

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

// A proxy name from WinHTTP, as ANSI text within the width of `proxyServer`.
bool TakeProxy(DialogContext& ui, const std::optional<std::u16string>& proxy) {
  if (!proxy || proxy->empty()) {
    return false;
  }
  std::optional<std::string> name = ui.setup.machine.runtime.WideToAnsi(*proxy);
  if (!name || name->empty()) {
    return false;
  }
  name->resize(std::min(name->size(), kProxyServerWidth - 1));
  ui.proxyServer = *name;
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
  std::optional<std::u16string> proxy;
  if (http.DefaultProxy(proxy)) {
    return TakeProxy(ui, proxy);
  }
  proxy.reset();
  return http.UserProxy(proxy) && TakeProxy(ui, proxy);
}

void ShowComponentControls(DialogContext& ui, ControlGroup group, bool show) {
  const bool proxyFound = DetectProxy(ui);
  if (proxyFound) {
    ui.view.SetControlText(ui.Window(), IDC_PROXY_LABEL, ui.proxyServer);
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
