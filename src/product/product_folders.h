#pragma once

#include <cstddef>

// The folders and files of the product that every run knows before it looks at the machine.

// Where every run copies the setup program; the commands of the uninstall entries name this copy.
inline constexpr char kInstalledSetupFolder[] = "C:\\Program Files\\Halvorn\\NembricAI";
inline constexpr char kInstalledSetupProgram[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";
// The install record: beside the installed setup program, which every run puts in place.
inline constexpr char kInstallRecordPath[] = "C:\\Program Files\\Halvorn\\NembricAI\\InstallRecord.txt";
// Where a run keeps a copy of each file it replaces or deletes until its component is committed.
inline constexpr char kBackupFolder[] = "C:\\Program Files\\Halvorn\\NembricAI\\Backup";

// The width of the running program's path asked of Windows (MAX_PATH).
inline constexpr std::size_t kModulePathChars = 260;
