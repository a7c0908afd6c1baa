#pragma once

struct SetupContext;

// The OK of the maintenance dialog: reads the chosen mode and components, looks up their install folders
// and finishes the run as an uninstall or a repair. Ends the process.
void ApplyMaintenanceChoice(SetupContext& context);

// Prepares the server's update folder when the server is concerned and reports the repair. Ends the process.
void RepairProduct(SetupContext& context);
