#pragma once

#include <string>

#include "core/action_result.h"
#include "platform/files.h"
#include "steps/actions/undo_pass.h"

class InstallRecord;

// A file the run writes: made new, or written over one that was there. Its line ("file PATH SIZE TIME")
// names what the run wrote; size and time are "-" while it is being made, so that a run cut off part-way
// leaves a file the record owns whatever it holds. Without a record (a layout) no line is written.

// Before the first byte: what is there is kept whole (its copy and the line that names it), or, for a file
// made new or written a second time, its line is written. The failure says what is therefore not written.
ActionResult BeforeWritingFile(InstallRecord* record, const std::string& path);
// Before a file is made where there is none (a download's part file, a module written beside the one in use).
ActionResult BeforeMakingFile(InstallRecord* record, const std::string& path);
// Once it is whole: its size and time, by which a later undo knows it is still the one written.
ActionResult FileWritten(InstallRecord* record, const std::string& path);

// The file's stamp is the one its line recorded when the run had written it whole.
bool IsAsWritten(const RecordEntry& entry, const Files::Stamp& stamp);

// Removes the file while it is still the one written (or was being made). A file that has changed since
// stays, with a line; one a component that stays wrote again is that component's; one the run replaced is
// put back from its copy instead (UndoFileReplaced).
UndoEnd UndoFileWritten(UndoPass& pass, const RecordEntry& entry);
