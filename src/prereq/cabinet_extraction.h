#pragma once

struct SetupContext;

// The text of an FDIERROR value; "Unknown error" for a value the library does not define.
const char* CabinetErrorText(int code);

// Writes the text of the FDIERROR value to the setup log with the server tag. Returns 1.
int ReportCabinetError(SetupContext& context, int code);
