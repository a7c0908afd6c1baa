#pragma once

#include <string>

#include "core/action_result.h"

class ShellLink;
struct RunContext;

// A shortcut the run saves (IPersistFile::Save of a shell link) at `path`, `name` being the same path in
// UTF-16. A shortcut of the same name there before is kept whole until the run commits, a new one is the
// run's from its first byte, and the saved one is named by its size and time: it is a file written
// (BeforeWritingFile, FileWritten), undone as one (UndoFileWritten, UndoFileReplaced). The failure of a
// line (logged under the client's tag; nothing is saved), or IPersistFile::Save with its HRESULT.
ActionResult SaveShortcut(RunContext& run, ShellLink& link, const std::string& path,
                          const std::u16string& name);
