#include "steps/actions/shortcut_made.h"

#include "platform/shell.h"
#include "product/run_context.h"
#include "steps/actions/file_written.h"

ActionResult SaveShortcut(RunContext& run, ShellLink& link, const std::string& path,
                          const std::u16string& name) {
  if (ActionResult recorded = BeforeWritingFile(&run.record, path); !recorded) {
    WriteLog(run, LogTag::client, recorded.line);
    return recorded;
  }
  const std::int32_t saved = link.Save(name, true);
  if (saved < 0) {
    return ActionResult::Failed("IPersistFile::Save", saved);
  }
  if (ActionResult recorded = FileWritten(&run.record, path); !recorded) {
    WriteLog(run, LogTag::client, recorded.line);
    return recorded;
  }
  return ActionResult::Done();
}
