#pragma once

#include <string>

struct SetupContext;

// What OK does in either dialog: opens the download session, hands a maintenance dialog to the
// maintenance road, or reads the fields, checks them and runs the setup to the end of the process.
// Returns 0 when a check fails and the dialog stays; otherwise the process ends with exit code 0.
int RunSetup(SetupContext& context);

// The end of every run: ends the dialog, logs the line (after saying that a restart is needed when an
// installer asked for one), closes the log, shows the completion box and ends the process with 0.
void FinishRun(SetupContext& context, const char* logLine, const char* completion);

// Sets up the progress, copies the setup program into the product folder and runs the client, server and
// SQL Server steps that the options choose. Returns 1.
int UpdateSoftware(SetupContext& context);

// Shows the message of a failed check with the groups the Setup Type chose, and puts the focus on the
// control. Returns 0.
int ReportInputError(SetupContext& context, int controlId, const std::string& message);

// Saves a shell link to the target under the link name in the current directory, working in the target's
// folder. Non-zero when the link was saved.
int CreateShortcut(SetupContext& context, const std::string& target, const std::string& linkName,
                   const std::string& description);
