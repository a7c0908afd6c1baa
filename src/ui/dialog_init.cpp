#include <array>
#include <vector>

#include "core/blank_text.h"
#include "resources/resource.h"
#include "ui/control_groups.h"
#include "ui/dialog_context.h"
#include "ui/dialog_defaults.h"
#include "ui/field_checks.h"
#include "ui/passive_window.h"
#include "ui/setup_dialog.h"

namespace {

constexpr char kFirstStatus[] = "Please use Tab/Enter to go to next field.";
constexpr int kInitialBlanks = 10;
constexpr int kMargin = 16;
constexpr int kStatusFromBottom = 38;
constexpr int kStatusHeight = 22;
constexpr int kProgressFromBottom = 62;
constexpr int kProgressHeight = 18;
// The places above are those of this many dots per inch.
constexpr int kDesignDpi = 96;

struct ComboItems {
  int id;
  std::vector<const char*> items;
};

// The lists of the combo boxes, filled in this order; item 0 is selected.
const std::array<ComboItems, 5>& DefaultLists() {
  static const std::array<ComboItems, 5> lists = {{
      {IDC_SETUP_TYPE, {"Client", "Server", "Both"}},
      {IDC_EDITION, {"Enterprise", "Team", "Essential", "Express"}},
      {IDC_BIT_SIZE, {"64 Bit", "AI Client", "32 Bit"}},
      {IDC_INSTALL_SQL, {"Yes", "No"}},
      {IDC_SERVER_DIRECTORY, {"c:\\HNembricAI", "c:\\Program Files\\Halvorn\\NembricAI\\", "d:\\HNembricAI"}},
  }};
  return lists;
}

}  // namespace

std::vector<std::string> FieldItems(int controlId) {
  for (const ComboItems& list : DefaultLists()) {
    if (list.id == controlId) {
      return {list.items.begin(), list.items.end()};
    }
  }
  return {};
}

void InitSetupDialog(DialogContext& ui, WindowHandle dialog) {
  DialogView& view = ui.view;
  const RunMode mode = ui.setup.runMode;
  ui.reporter.dialogWindow = dialog;
  ui.proxyServer = BlankText(kInitialBlanks);

  if (HasAny(mode, RunMode::repair)) {
    view.CheckRadioButton(dialog, IDC_UNINSTALL, IDC_REPAIR, IDC_REPAIR);
  } else if (HasAny(mode, RunMode::uninstall)) {
    view.CheckRadioButton(dialog, IDC_UNINSTALL, IDC_REPAIR, IDC_UNINSTALL);
  }

  for (const ComboItems& list : DefaultLists()) {
    const WindowHandle combo = view.GetControl(dialog, list.id);
    if (combo == WindowHandle::none) {
      continue;
    }
    view.ResetContent(combo);
    for (std::size_t i = 0; i < list.items.size(); ++i) {
      view.InsertItem(combo, static_cast<int>(i), list.items[i]);
    }
    view.SelectItem(combo, 0);
  }

  if (HasAny(mode, RunMode::install)) {
    ShowComponentControls(ui, ControlGroup::client, true);
    ShowComponentControls(ui, ControlGroup::server, false);
  }

  AddStatusAndProgress(view, dialog, kFirstStatus);
}

void AddStatusAndProgress(DialogView& view, WindowHandle dialog, const char* firstStatus) {
  view.InitCommonControls(DialogView::kProgressClass);
  view.CreateChild(dialog, u"STATIC",
                   DialogView::kStyleChild | DialogView::kStyleVisible | DialogView::kStaticNoPrefix, Rect{},
                   IDC_STATUS_LINE);
  view.CreateChild(dialog, u"msctls_progress32", DialogView::kStyleChild | DialogView::kStyleVisible, Rect{},
                   IDC_PROGRESS_BAR);
  PlaceStatusAndProgress(view, dialog);
  view.SetProgressRange(dialog, IDC_PROGRESS_BAR, 0, 100);
  view.SetProgressPosition(dialog, IDC_PROGRESS_BAR, 0);
  view.SetControlText(dialog, IDC_STATUS_LINE, firstStatus);
}

void PlaceStatusAndProgress(DialogView& view, WindowHandle dialog) {
  // The places are those of 100 % scaling (96 dots per inch), grown with the scaling of the monitor the
  // dialog is on as the dialog's own controls grow; both controls draw in the dialog's font.
  const int dpi = view.WindowDpi(dialog);
  const auto scaled = [dpi](int pixels) { return pixels * dpi / kDesignDpi; };
  const Rect client = view.ClientRect(dialog);
  const int margin = scaled(kMargin);
  const int width = client.right - client.left - 2 * margin;
  const int statusTop = client.bottom - scaled(kStatusFromBottom);
  view.MoveControl(dialog, IDC_STATUS_LINE,
                   Rect{margin, statusTop, margin + width, statusTop + scaled(kStatusHeight)});
  const int progressTop = client.bottom - scaled(kProgressFromBottom);
  view.MoveControl(dialog, IDC_PROGRESS_BAR,
                   Rect{margin, progressTop, margin + width, progressTop + scaled(kProgressHeight)});
  view.UseDialogFont(dialog, view.GetControl(dialog, IDC_STATUS_LINE));
  view.UseDialogFont(dialog, view.GetControl(dialog, IDC_PROGRESS_BAR));
}
