#include "ui/control_groups.h"

#include "app/setup_context.h"
#include "resources/resource.h"
#include "ui/control_text.h"

namespace {

struct BitSizeChoice {
  const char* text;
  SetupOptions option;
  std::array<const char*, 3> directories;
};

constexpr std::array kBitSizes = {
    BitSizeChoice{
        "32 Bit",
        kOption32Bit,
        {"c:\\Nembric10App32", "c:\\Program Files\\Halvorn\\Nembric10App32\\", "d:\\Nembric10App32"}},
    BitSizeChoice{"64 Bit",
                  kOption64Bit,
                  {"c:\\Nembric10App", "c:\\Program Files\\Halvorn\\Nembric10App\\", "d:\\Nembric10App"}},
    BitSizeChoice{"AI Client",
                  kOptionAiClient,
                  {"c:\\NembricAIApp", "c:\\Program Files\\Halvorn\\NembricAIApp\\", "d:\\NembricAIApp"}},
};

template <std::size_t N>
void ShowGroup(SetupContext& context, const std::array<int, N>& ids, bool show) {
  for (const int id : ids) {
    ShowControl(context, id, show);
  }
}

// A proxy name from WinHTTP, as ANSI text within the width of `proxyServer`.
bool TakeProxy(SetupContext& context, const std::optional<std::u16string>& proxy) {
  if (!proxy || proxy->empty()) {
    return false;
  }
  std::optional<std::string> name = context.machine.runtime.WideToAnsi(*proxy);
  if (!name || name->empty()) {
    return false;
  }
  name->resize(std::min(name->size(), kProxyServerWidth - 1));
  context.proxyServer = *name;
  return true;
}

}  // namespace

int ShowControl(SetupContext& context, int controlId, bool show) {
  DialogView& view = context.machine.dialogs;
  const WindowHandle control = view.GetControl(context.dialogWindow, controlId);
  if (control == WindowHandle::none) {
    return 0;
  }
  if (!show && IsComboBox(view, control)) {
    view.CloseDropDown(control);
  }
  view.SetVisible(control, show);
  view.SetEnabled(control, show);
  view.InvalidateWindow(context.dialogWindow, true);
  return 1;
}

bool DetectProxy(SetupContext& context) {
  Http& http = context.machine.http;
  std::optional<std::u16string> proxy;
  if (http.DefaultProxy(proxy)) {
    return TakeProxy(context, proxy);
  }
  proxy.reset();
  return http.UserProxy(proxy) && TakeProxy(context, proxy);
}

int ShowComponentControls(SetupContext& context, int group, bool show) {
  const bool proxyFound = DetectProxy(context);
  if (proxyFound) {
    context.machine.dialogs.SetControlText(context.dialogWindow, IDC_PROXY_LABEL, context.proxyServer);
  }
  ShowControl(context, IDC_PROXY_LABEL, proxyFound);
  ShowControl(context, IDC_PROXY_SERVER, proxyFound);
  if ((group & kClientGroup) != 0) {
    ShowGroup(context, kClientGroupIds, show);
  } else {
    ShowGroup(context, kServerGroupIds, show);
  }
  return 1;
}

void HideSqlGroup(SetupContext& context) {
  ShowGroup(context, kSqlGroupIds, false);
}

void ShowSqlGroup(SetupContext& context, bool show) {
  ShowGroup(context, kSqlGroupIds, show);
}

int ApplyBitSize(SetupContext& context, std::string_view bitSize) {
  for (const BitSizeChoice& choice : kBitSizes) {
    if (bitSize != choice.text) {
      continue;
    }
    context.options |= choice.option;
    DialogView& view = context.machine.dialogs;
    const WindowHandle field = view.GetControl(context.dialogWindow, IDC_CLIENT_DIRECTORY);
    view.ResetContent(field);
    for (std::size_t i = 0; i < choice.directories.size(); ++i) {
      view.InsertItem(field, static_cast<int>(i), choice.directories[i]);
    }
    view.SelectItem(field, 0);
    break;
  }
  return 1;
}
