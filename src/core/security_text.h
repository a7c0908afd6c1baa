#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The owner and the DACL of a file or folder as Windows writes them in SDDL ("O:BAD:PAI(A;OICI;FA;;;SY)"),
// read into values and written back. Well-known SIDs are kept by their SDDL names (BA, SY, BU, AU, WD, CO,
// IU), whichever form the text used; other SIDs as "S-1-...".

// Inheritance flags of an entry, as SDDL names them.
enum class Inheritance : std::uint8_t {
  none = 0,
  objects = 0x1,      // OI: files below inherit it
  containers = 0x2,   // CI: folders below inherit it
  noPropagate = 0x4,  // NP: only the level below inherits it
  inheritOnly = 0x8,  // IO: it applies to what inherits it, not to this object
  inherited = 0x10,   // ID: it came from above
};
constexpr Inheritance operator|(Inheritance a, Inheritance b) {
  return static_cast<Inheritance>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr bool HasInheritance(Inheritance set, Inheritance flag) {
  return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(flag)) != 0;
}

// Access rights of files and folders, as Windows numbers them.
namespace access_rights {
inline constexpr std::uint32_t kReadData = 0x1;         // FILE_READ_DATA, FILE_LIST_DIRECTORY
inline constexpr std::uint32_t kWriteData = 0x2;        // FILE_WRITE_DATA, FILE_ADD_FILE
inline constexpr std::uint32_t kAppendData = 0x4;       // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
inline constexpr std::uint32_t kDeleteChild = 0x40;     // FILE_DELETE_CHILD
inline constexpr std::uint32_t kDelete = 0x10000;       // DELETE
inline constexpr std::uint32_t kReadControl = 0x20000;  // READ_CONTROL
inline constexpr std::uint32_t kWriteDac = 0x40000;     // WRITE_DAC
inline constexpr std::uint32_t kWriteOwner = 0x80000;   // WRITE_OWNER
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kFileAll = 0x1F01FF;         // FILE_ALL_ACCESS
inline constexpr std::uint32_t kReadAndExecute = 0x1200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
inline constexpr std::uint32_t kModify = 0x1301BF;          // "Modify" of the Explorer's dialog
// What lets a holder change a folder or what is in it: write, add, delete, change the rights, take it.
inline constexpr std::uint32_t kChanging =
    kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll | kGenericWrite;
}  // namespace access_rights

// One access-control entry: allowed or denied, its inheritance, its rights (generic rights of files mapped
// to their file rights) and whom it names.
struct AccessEntry {
  bool allowed = true;
  Inheritance inheritance = Inheritance::none;
  std::uint32_t rights = 0;
  std::string sid;
  bool operator==(const AccessEntry&) const = default;
};

struct SecurityText {
  // Empty when the text names no owner.
  std::string owner;
  // The DACL is protected ("P"): nothing is inherited from above.
  bool protectedDacl = false;
  std::vector<AccessEntry> entries;
  bool operator==(const SecurityText&) const = default;
};

// Reads an SDDL text of an owner and a DACL (a group or a SACL in it is passed over); nullopt when it is
// not one (an unknown right or SID name, an entry not closed).
std::optional<SecurityText> ParseSecurityText(std::string_view sddl);
// The SDDL text: "O:owner" when there is one, then "D:" with "P" when protected and each entry.
std::string SecurityTextOf(const SecurityText& security);
// The SDDL name of a well-known SID given as "S-1-..." or by its name; other SIDs as they are.
std::string CanonicalSid(std::string_view sid);
