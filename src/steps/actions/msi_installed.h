#pragma once

#include <optional>
#include <string>

#include "core/action_result.h"
#include "steps/actions/undo_pass.h"

struct RunContext;

// A Windows Installer product the run installs (msiexec /i, by the installer runs). It is the run's, named
// by its line ("msi CODE", or the package's path when its product code cannot be read) before msiexec
// starts, only when it was not installed before the run: a product that was there stays whatever becomes of
// the run, and a repair never removes it.

// The line, when the package's product is not installed yet; its failure says msiexec must not start.
ActionResult BeforeInstallingMsi(RunContext& run, const std::string& package);

// Removes a Windows Installer product (msiexec /x with its product code, or with its package), silently;
// done when it is gone, or was not there.
ActionResult RemoveInstallerPackage(RunContext& run, const std::string& product);

// Removes the product the run installed; one that cannot be removed stays, with its line.
UndoEnd UndoMsiInstalled(UndoPass& pass, const RecordEntry& entry);

// The ProductCode of a package's Property table; nullopt when it cannot be read or is no product code.
std::optional<std::string> ProductCodeOf(RunContext& run, const std::string& package);
// A product code: a GUID in braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hex digits.
bool IsProductCode(const std::string& text);
