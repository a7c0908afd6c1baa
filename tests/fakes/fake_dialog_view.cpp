#include "fake_dialog_view.h"

FakeDialogView::Window* FakeDialogView::Find(WindowHandle window) {
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : &found->second;
}

WindowHandle FakeDialogView::AddWindow(int resourceId, const std::vector<int>& controlIds) {
  const auto handle = static_cast<WindowHandle>(nextWindow_++);
  Window& window = windows_[handle];
  window.resourceId = resourceId;
  for (const int id : controlIds) {
    window.controls[id] = Control{};
  }
  return handle;
}

WindowHandle FakeDialogView::CreateDialogWindow(int resourceId, DialogEvents& events) {
  createdDialogs.push_back(resourceId);
  if (refuseDialogs) {
    return WindowHandle::none;
  }
  const WindowHandle handle = AddWindow(resourceId, {});
  events.OnInitDialog(handle);
  return handle;
}

void FakeDialogView::ShowWindow(WindowHandle window, int showCommand) {
  if (Window* found = Find(window)) {
    found->shown = true;
    found->showCommand = showCommand;
  }
}

bool FakeDialogView::SetControlText(WindowHandle dialog, int controlId, const std::string& text) {
  Window* found = Find(dialog);
  if (found == nullptr || found->controls.count(controlId) == 0) {
    return false;
  }
  found->controls[controlId].text = text;
  return true;
}

void FakeDialogView::SetProgressPosition(WindowHandle dialog, int controlId, int position) {
  Window* found = Find(dialog);
  if (found != nullptr && found->controls.count(controlId) != 0) {
    found->controls[controlId].position = position;
  }
}

bool FakeDialogView::InvalidateWindow(WindowHandle window, bool erase) {
  Window* found = Find(window);
  if (found == nullptr) {
    return false;
  }
  ++found->invalidations;
  found->erasingInvalidations += erase ? 1 : 0;
  return true;
}

bool FakeDialogView::UpdateWindow(WindowHandle window) {
  Window* found = Find(window);
  if (found == nullptr) {
    return false;
  }
  ++found->updates;
  return true;
}

int FakeDialogView::ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                                   std::uint32_t flags) {
  messageBoxes.push_back({owner, text, caption, flags});
  if (messageBoxAnswers.empty()) {
    return kAnswerOk;
  }
  const int answer = messageBoxAnswers.front();
  messageBoxAnswers.pop_front();
  return answer;
}

std::uintptr_t FakeDialogView::RunMessageLoop(int acceleratorTableId) {
  messageLoops.push_back(acceleratorTableId);
  return loopResult;
}
