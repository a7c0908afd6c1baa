#pragma once

#include "core/setup_choices.h"
#include "ui/run_requests.h"

struct DialogContext;

// The fields of the main dialog as the choices of a run. Setup Type, BitSize and Edition count only when
// their text is exactly one of their names; the proxy is the Proxy Server field when it holds more than
// blanks, else the proxy detected from the system's settings.
SetupChoices ReadSetupChoices(DialogContext& ui);

// The radio buttons and check boxes of the maintenance dialog.
MaintenanceChoice ReadMaintenanceChoice(DialogContext& ui);
