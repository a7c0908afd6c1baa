#include "steps/actions/shortcut_made.h"

#include "platform/shell.h"
#include "product/setup_state.h"
#include "steps/actions/file_written.h"

ActionResult SaveShortcut(SetupState& state, ShellLink& link, const std::string& path,
                          const std::u16string& name) {
  if (ActionResult recorded = BeforeWritingFile(&state.record, path); !recorded) {
    WriteLog(state, LogTag::client, recorded.line);
    return recorded;
  }
  const std::int32_t saved = link.Save(name, true);
  if (saved < 0) {
    return ActionResult::Failed("IPersistFile::Save", saved);
  }
  if (ActionResult recorded = FileWritten(&state.record, path); !recorded) {
    WriteLog(state, LogTag::client, recorded.line);
    return recorded;
  }
  return ActionResult::Done();
}
