#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/iis.h"

// The information server's configuration as a run that only plans reaches it: everything is read and may
// be changed in the configuration the admin manager holds, but no change is committed, no location
// deleted and no method (a pool's or site's Stop and Start) executed. A pool or site the run stops or
// starts reads as stopped or started afterwards, as it would.
class PlanningIis final : public Iis {
 public:
  explicit PlanningIis(Iis& real) : real_(real) {}
  std::int32_t CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) override;

  // The state ("Stopped", "Started") a method of the run left each pool or site in, by its name.
  std::map<std::u16string, std::u16string> states;

 private:
  Iis& real_;
};
