#pragma once

#include <cstdint>
#include <string>
#include <utility>

// How one action on the machine ended, the one result of the actions: done, or the call that failed (a
// Windows function, or the program an action ran), the code it gave (an HRESULT, a Windows error or a
// program's exit code; 0 when it gives none) and the line the run logged or showed for it (empty when
// none). Tested as a condition, it is true when the action is done.
struct ActionResult {
  std::string failedCall;
  std::int64_t code = 0;
  std::string line;

  static ActionResult Done() { return {}; }
  static ActionResult Failed(std::string call, std::int64_t code, std::string line = {}) {
    return {std::move(call), code, std::move(line)};
  }
  bool ok() const { return failedCall.empty(); }
  explicit operator bool() const { return ok(); }
  bool operator==(const ActionResult&) const = default;
};
