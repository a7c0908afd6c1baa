#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/action_result.h"
#include "platform/registry.h"
#include "product/product_folders.h"
#include "product/setup_choices.h"

struct RunContext;

enum class ProductComponent { client, server };

// The product keys: the client's, below the current user, and the server's, below the local machine.
inline constexpr char kClientProductKey[] = "Software\\Halvorn\\Nembric10\\Client";
inline constexpr char kServerProductKey[] = "SOFTWARE\\Halvorn\\NembricAI\\Server";

// The components by the names their product keys give them (DisplayName), as the closing lines of a run
// name them.
inline constexpr char kClientDisplayName[] = "Nembric Client";
inline constexpr char kServerDisplayName[] = "Halvorn NembricAI Server";

// Registers the client or the server component with Windows: its uninstall entry in the 32-bit
// view, with the commands of the installed setup program, and the product keys. Failed (RegCreateKeyEx
// with its status, and the box's text), after an error box, when the uninstall entry cannot be written.
[[nodiscard]] ActionResult RegisterProduct(RunContext& run, ProductComponent component,
                                           const SetupChoices& choices);

// What a repair needs to run the update again, kept in the product keys beside "InstallPath": the
// client's build, and the server's edition and website port.
inline constexpr char kClientBuildValue[] = "ClientBuild";
inline constexpr char kEditionValue[] = "Edition";
inline constexpr char kPortValue[] = "Port";
std::string BuildName(BitSize bitSize);
BitSize BuildNamed(const std::string& name);
std::string EditionName(Edition edition);
Edition EditionNamed(const std::string& name);

// Whether the component's uninstall entry is there.
bool ProductRegistered(RunContext& run, ProductComponent component);
// The day its last install or repair registered the component ("2026-12-08"), from its uninstall entry's
// InstallDate; nullopt when the entry or the date is not there.
std::optional<std::string> RegisteredOn(RunContext& run, ProductComponent component);

// Creates or opens the key and sets the value as REG_SZ with its NUL. Failed (RegCreateKeyEx with its
// status) only when the key cannot be created or opened.
ActionResult WriteRegistryString(RunContext& run, RegistryKey root, const std::string& subKey,
                                 const std::string& valueName, const std::string& data);
