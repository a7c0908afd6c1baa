#include "steps/toolkit/protected_folder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/path_text.h"
#include "core/security_text.h"
#include "product/run_context.h"

namespace {

constexpr char kAdministrators[] = "BA";
constexpr char kSystem[] = "SY";
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3425186549-2983580390-2908806716-3401183720";
constexpr char kUsers[] = "BU";
constexpr char kIisUsers[] = "S-1-5-32-568";
constexpr char kTakeOwnership[] = "SeTakeOwnershipPrivilege";
constexpr char kAllEntries[] = "*.*";
constexpr int kDepthLimit = 16;

constexpr char kRefused[] = "Refused ";
constexpr char kReparsePoint[] = ": a junction, symbolic link or mount point";
constexpr char kSecured[] = "Secured ";
constexpr char kWasOwnedBy[] = ": it was owned by ";
constexpr char kWritableBy[] = " and could be changed by ";
constexpr char kInside[] = ": ";
constexpr char kAndInside[] = ", and ";
constexpr char kInsideEnd[] = " of the files and folders in it had another owner or writer";
constexpr char kNowOwned[] =
    "; now the Administrators own it and what is in it, and only SYSTEM and Administrators may change them";
constexpr char kNotSecured[] = "Could not secure ";
constexpr char kErrorOpen[] = " (error ";
constexpr char kErrorClose[] = ")";
constexpr char kSecurityCall[] = "SetNamedSecurityInfo";
constexpr char kReparseCall[] = "GetFileAttributes";
constexpr std::uint32_t kReparseEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

// Who may hold a protected folder or change it: the administrators, SYSTEM, TrustedInstaller, and the
// administrator the setup runs as (the owner of what it makes where Windows gives objects their creator as
// owner).
struct Trusted {
  std::string setupUser;
  bool operator()(const std::string& sid) const {
    return sid == kAdministrators || sid == kSystem || sid == kTrustedInstaller ||
           (!setupUser.empty() && sid == setupUser);
  }
};

// The SIDs other than the trusted ones that an entry of the DACL lets change the folder.
std::vector<std::string> OtherWriters(const SecurityText& security, const Trusted& trusted) {
  std::vector<std::string> writers;
  for (const AccessEntry& entry : security.entries) {
    if (entry.allowed && !HasInheritance(entry.inheritance, Inheritance::inheritOnly) &&
        (entry.rights & access_rights::kChanging) != 0 && !trusted(entry.sid) &&
        std::find(writers.begin(), writers.end(), entry.sid) == writers.end()) {
      writers.push_back(entry.sid);
    }
  }
  return writers;
}

struct Judged {
  bool trusted = false;
  std::string owner;
  std::vector<std::string> writers;
};

Judged Judge(Files& files, const std::string& path, const Trusted& trusted) {
  const std::optional<std::string> text = files.SecurityOf(path);
  const std::optional<SecurityText> security = text ? ParseSecurityText(*text) : std::nullopt;
  if (!security) {
    // Security the setup may not even read is not the setup's.
    return {false, "(unreadable)", {}};
  }
  Judged judged{false, security->owner, OtherWriters(*security, trusted)};
  judged.trusted = trusted(security->owner) && judged.writers.empty();
  return judged;
}

// Gives the file or folder the administrators as owner and the protected DACL: 0, or the error.
std::uint32_t Protect(RunContext& run, const std::string& path, const std::string& dacl) {
  Files& files = run.machine.files;
  // Taking what another owns needs the privilege, which an administrator holds but has not enabled.
  run.machine.runtime.EnablePrivilege(kTakeOwnership);
  const std::uint32_t owned =
      files.SetSecurity(path, Files::SecurityPart::owner, std::string("O:") + kAdministrators);
  return owned != 0 ? owned : files.SetSecurity(path, Files::SecurityPart::protectedDacl, dacl);
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += (text.empty() ? "" : ", ") + name;
  }
  return text;
}

ActionResult Fail(RunContext& run, LogTag tag, const std::string& line, const char* call,
                  std::uint32_t code) {
  WriteLog(run, tag, line);
  MarkComponentFailed(run);
  return ActionResult::Failed(call, code, line);
}

// What a protected folder's securing works with: where it logs, the DACL it sets, whom it trusts, and what
// it has changed so far (the files and folders in it that had another owner or writer).
struct Securing {
  LogTag tag;
  std::string dacl;
  Trusted trusted;
  std::size_t changedInside = 0;
};

// Secures one file or folder: nullopt when it was secure, else what was found (the owner, the writers), or
// the failure to secure it.
struct Secured {
  ActionResult result = ActionResult::Done();
  std::optional<Judged> found;
};
Secured SecureOne(RunContext& run, const Securing& securing, const std::string& path) {
  const Judged judged = Judge(run.machine.files, path, securing.trusted);
  if (judged.trusted) {
    return {};
  }
  if (const std::uint32_t error = Protect(run, path, securing.dacl); error != 0) {
    return {Fail(run, securing.tag, kNotSecured + path + kErrorOpen + std::to_string(error) + kErrorClose,
                 kSecurityCall, error),
            judged};
  }
  return {ActionResult::Done(), judged};
}

// Goes through what the folder holds: a reparse point anywhere is refused, and each entry that is not secure
// is made so.
ActionResult SecureContents(RunContext& run, Securing& securing, const std::string& folder, int depth) {
  const auto entries = run.machine.files.ListDirectory(WithTrailingBackslash(folder) + kAllEntries);
  if (!entries || depth > kDepthLimit) {
    return ActionResult::Done();
  }
  for (const Files::DirectoryEntry& entry : *entries) {
    if (entry.name == "." || entry.name == "..") {
      continue;
    }
    const std::string path = JoinPath(folder, entry.name);
    if ((entry.attributes & Files::kAttributeReparsePoint) != 0) {
      return Fail(run, securing.tag, kRefused + path + kReparsePoint, kReparseCall, kReparseEncountered);
    }
    Secured secured = SecureOne(run, securing, path);
    if (!secured.result.ok()) {
      return secured.result;
    }
    securing.changedInside += secured.found ? std::size_t{1} : std::size_t{0};
    if ((entry.attributes & Files::kAttributeDirectory) != 0) {
      if (ActionResult below = SecureContents(run, securing, path, depth + 1); !below.ok()) {
        return below;
      }
    }
  }
  return ActionResult::Done();
}

}  // namespace

std::string ProtectedFolderDacl(FolderReaders readers) {
  std::string dacl = std::string("D:P(A;OICI;FA;;;") + kSystem + ")(A;OICI;FA;;;" + kAdministrators +
                     ")(A;OICI;0x1200a9;;;" + kUsers + ")";
  if (readers == FolderReaders::usersAndWebsite) {
    dacl += std::string("(A;OICI;0x1200a9;;;") + kIisUsers + ")";
  }
  return dacl;
}

ActionResult RefuseReparsePoint(RunContext& run, LogTag tag, const std::string& path) {
  if (const std::optional<std::string> reparse = ReparsePointOnPath(run.machine.files, path)) {
    return Fail(run, tag, kRefused + *reparse + kReparsePoint, kReparseCall, kReparseEncountered);
  }
  return ActionResult::Done();
}

ActionResult SecureFolder(RunContext& run, LogTag tag, const std::string& folder, FolderReaders readers) {
  std::string path = folder;
  while (path.size() > 3 && path.back() == '\\') {
    path.pop_back();
  }
  if (ActionResult refused = RefuseReparsePoint(run, tag, path); !refused.ok()) {
    return refused;
  }
  Securing securing{tag, ProtectedFolderDacl(readers),
                    Trusted{CanonicalSid(run.machine.runtime.ProcessUserSid().value_or(""))}};
  const Secured folderSecured = SecureOne(run, securing, path);
  if (!folderSecured.result.ok()) {
    return folderSecured.result;
  }
  ActionResult contents = SecureContents(run, securing, path, 0);
  // One line for the folder says what was changed in it, when anything was.
  if (folderSecured.found || securing.changedInside > 0) {
    std::string line = kSecured + path;
    if (folderSecured.found) {
      line += kWasOwnedBy + folderSecured.found->owner;
      if (!folderSecured.found->writers.empty()) {
        line += kWritableBy + Joined(folderSecured.found->writers);
      }
    }
    if (securing.changedInside > 0) {
      line +=
          (folderSecured.found ? kAndInside : kInside) + std::to_string(securing.changedInside) + kInsideEnd;
    }
    WriteLog(run, tag, line + kNowOwned);
  }
  return contents;
}
