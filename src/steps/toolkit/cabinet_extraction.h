#pragma once

#include <string>

#include "core/action_result.h"

struct RunContext;

// Package names holding this are cabinets.
inline constexpr char kCabinetMark[] = "cab";

// The text of an FDIERROR value; "Unknown error" for a value the library does not define.
const char* CabinetErrorText(int code);

// Writes the text of the FDIERROR value to the setup log with the server tag. Returns 1.
int ReportCabinetError(RunContext& run, int code);

// What an extraction does with a target that exists but cannot be written: abort the attempt (and try
// again), or write the file beside it and put it in place when Windows next starts (a server module that
// a running worker process holds loaded), which asks for a restart at the end of the run.
enum class InUseTargets { abort, replaceAtRestart };

// Unpacks a cabinet into the destination folder, both folder texts taking a trailing backslash. A name
// without "cab" in it (an installer program, for example) is no cabinet: done, and nothing is done.
ActionResult ExtractCabinet(RunContext& run, const std::string& cabinetName,
                            const std::string& cabinetDirectory, const std::string& destination,
                            InUseTargets inUse = InUseTargets::abort);

// Extracts every file of `cabinetDirectory` + `cabinetName` into the destination with the cabinet's time
// stamps. A copy aborted by a target file that cannot be created is tried again, five attempts in all,
// without a log line; any other failure is logged and printed once. Done when the copy succeeded; else
// the cabinet call that failed (FDICreate, FDICopy) with its FDIERROR value and the line logged.
ActionResult CopyCabinet(RunContext& run, const std::string& cabinetName, const std::string& cabinetDirectory,
                         const std::string& destination, InUseTargets inUse = InUseTargets::abort);
