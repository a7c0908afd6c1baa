#pragma once

#include <cstdint>
#include <string>
#include <utility>

// How one action on the machine ended, the one result of the actions: done, or the call that failed, the
// code it gave (an HRESULT or a Windows error; 0 when the call gives none) and the line the run logged for
// it (empty when it logged none).
struct ActionResult {
  std::string failedCall;
  std::int64_t code = 0;
  std::string line;

  static ActionResult Done() { return {}; }
  static ActionResult Failed(std::string call, std::int64_t code, std::string line = {}) {
    return {std::move(call), code, std::move(line)};
  }
  bool ok() const { return failedCall.empty(); }
  bool operator==(const ActionResult&) const = default;
};
