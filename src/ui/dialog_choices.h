#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>

#include "product/setup_choices.h"
#include "ui/run_requests.h"

struct DialogContext;

// The fields of the main dialog as the choices of a run. Setup Type, BitSize and Edition count only when
// their text is exactly one of their names; the proxy is the Proxy Server field when it holds more than
// blanks, else the proxy detected from the system's settings.
SetupChoices ReadSetupChoices(DialogContext& ui);

// The text of a field of the main dialog by its control ID, within a width (terminating NUL included).
using FieldReader = std::function<std::string(int controlId, std::size_t width)>;

// The choices of a run from the texts of the main dialog's fields, wherever they come from: the dialog,
// or the answers of an unattended run. The proxy is the Proxy Server text when it holds more than
// blanks, else `detectedProxy`.
SetupChoices ChoicesFromFields(const FieldReader& read, const std::string& detectedProxy);

// The Setup Type of its whole text; `none` for any other text.
SetupType SetupTypeNamed(const std::string& text);

// Puts the texts into the main dialog's fields as a person would leave them: the BitSize first (which
// fills the client directories), then every text, then the Setup Type's groups and its SQL Server check.
void FillSetupFields(DialogContext& ui, const std::map<int, std::string>& texts);

// The radio buttons and check boxes of the maintenance dialog.
MaintenanceChoice ReadMaintenanceChoice(DialogContext& ui);
