#include "ui/dialog_reporter.h"

#include "resources/resource.h"

void DialogReporter::ShowStatus(const std::string& text) {
  if (dialogWindow != WindowHandle::none) {
    view_.SetControlText(dialogWindow, IDC_STATUS_LINE, text);
  }
}

void DialogReporter::ShowProgress(int percent) {
  if (dialogWindow != WindowHandle::none) {
    view_.SetProgressPosition(dialogWindow, IDC_PROGRESS_BAR, percent);
  }
}

void DialogReporter::Repaint(bool now) {
  // Without a window there is nothing to paint; InvalidateRect with none would repaint the whole desktop.
  if (dialogWindow == WindowHandle::none) {
    return;
  }
  view_.InvalidateWindow(dialogWindow, true);
  if (now) {
    view_.UpdateWindow(dialogWindow);
  }
}

int DialogReporter::ShowMessage(const std::string& text, const std::string& caption, std::uint32_t flags) {
  if (messageSink) {
    messageSink(text);
    const std::uint32_t buttons = flags & DialogView::kButtonMask;
    return buttons == DialogView::kYesNoCancel || buttons == DialogView::kYesNo ? DialogView::kAnswerYes
                                                                                : DialogView::kAnswerOk;
  }
  return view_.ShowMessageBox(WindowHandle::none, text, caption, flags);
}
