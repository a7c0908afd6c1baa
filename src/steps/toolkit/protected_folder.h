#pragma once

#include <optional>
#include <string>

#include "core/action_result.h"
#include "core/reparse_points.h"
#include "product/setup_log.h"

class Files;
struct RunContext;

// Who besides SYSTEM and the administrators may read (and run what is in) a protected folder.
enum class FolderReaders {
  users,            // the machine's users
  usersAndWebsite,  // and the IIS worker processes (IIS_IUSRS), which read the server's folder
};

// The DACL of a folder that holds what runs elevated or as a service: SYSTEM and Administrators full
// control, the readers read and execute, protected (nothing inherited from above) and inherited by
// everything below it.
std::string ProtectedFolderDacl(FolderReaders readers);

// Where a folder chain makes its folders protected: every folder made at `root` or below it gets `dacl`.
struct FolderProtection {
  std::string root;
  std::string dacl;
};

// Refuses a path on which a name that exists is a reparse point, before anything is made or written through
// it: done, or the failure with its line ("Refused PATH: a junction, symbolic link or mount point") and the
// component failed.
ActionResult RefuseReparsePoint(RunContext& run, LogTag tag, const std::string& path);

// Secures a protected folder that exists (made by the run, or found): no name on its path and nothing in it
// may be a reparse point, it must be owned by the administrators, SYSTEM or TrustedInstaller and let no one
// else write, delete, change its rights or take it. A folder that was not so is made so (owner
// Administrators, the protected DACL; each file and folder in it too), with one line saying what was changed.
// Done, or the check that failed with its line logged under `tag` and the component failed: a reparse point
// ("Refused PATH: a junction, symbolic link or mount point") or a folder that could not be secured.
ActionResult SecureFolder(RunContext& run, LogTag tag, const std::string& folder, FolderReaders readers);
