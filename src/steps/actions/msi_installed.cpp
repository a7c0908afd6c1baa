#include "steps/actions/msi_installed.h"

#include <cctype>
#include <string_view>

#include "core/port_guards.h"
#include "product/run_context.h"
#include "steps/actions/installer_run.h"

namespace {

constexpr char kMsiRemove[] = "/x ";
constexpr std::uint32_t kUnknownProduct = 1605;  // ERROR_UNKNOWN_PRODUCT
constexpr char kProductCodeQuery[] = "SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'";
constexpr char kProductCodeShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
constexpr char kRemovedPackage[] = "Removed ";
constexpr char kKeptPackage[] = "Could not remove ";

}  // namespace

ActionResult BeforeInstallingMsi(RunContext& run, const std::string& package) {
  const std::optional<std::string> code = ProductCodeOf(run, package);
  if (code && run.machine.installerDatabase.ProductInstalled(*code)) {
    return ActionResult::Done();
  }
  return run.record.Add(RecordEntry::Kind::msi, {code.value_or(package)});
}

ActionResult RemoveInstallerPackage(RunContext& run, const std::string& product) {
  return RunMsiexec(run, kMsiRemove, product, kUnknownProduct);
}

UndoEnd UndoMsiInstalled(UndoPass& pass, const RecordEntry& entry) {
  const std::string& package = entry.fields.front();
  if (!IsProductCode(package) && !IsSafePath(package)) {
    pass.Log(entry.scope, kUnsafeEntry + package);
    return UndoEnd::passed;
  }
  const bool removed = RemoveInstallerPackage(pass.run, package).ok();
  pass.Log(entry.scope, (removed ? kRemovedPackage : kKeptPackage) + package);
  return removed ? UndoEnd::undone : UndoEnd::left;
}

bool IsProductCode(const std::string& text) {
  const std::string_view shape = kProductCodeShape;
  if (text.size() != shape.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    if (shape[i] == 'X' ? !hex : text[i] != shape[i]) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> ProductCodeOf(RunContext& run, const std::string& package) {
  InstallerDatabase& msi = run.machine.installerDatabase;
  UniqueMsiHandle database(msi);
  UniqueMsiHandle view(msi);
  UniqueMsiHandle record(msi);
  if (msi.OpenDatabase(package, database.Receive()) != 0 ||
      msi.OpenView(database.get(), kProductCodeQuery, view.Receive()) != 0 || msi.Execute(view.get()) != 0 ||
      msi.Fetch(view.get(), record.Receive()) != 0) {
    return std::nullopt;
  }
  std::optional<std::string> code = msi.RecordString(record.get(), 1);
  return code && IsProductCode(*code) ? code : std::nullopt;
}
