#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/iis.h"

// The information server's configuration as a run that only plans reaches it: everything is read and may
// be changed in the configuration the admin manager holds, but no change is committed, no location
// deleted and no method (a pool's or site's Stop and Start) executed. A pool or site the run stops or
// starts reads as stopped or started afterwards, as it would.
class PlanningIis final : public Iis {
 public:
  explicit PlanningIis(Iis& real) : real_(real) {}
  std::int32_t CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) override;

  // A change of the configuration the run made (and would have committed): an element added to or
  // deleted from a collection, a collection cleared, a property of an element that was there set, a
  // location deleted. `section` and `path` are where the element lies; `name` is its "name" (a site's,
  // a pool's) or what else tells it (a binding's information, a restriction's path), else empty.
  struct Change {
    std::u16string section;
    std::u16string path;
    std::u16string tag;
    std::u16string name;
    std::u16string property;  // of a property set
    enum class What { add, remove, clear, set, removeLocation } what = What::add;
  };
  std::vector<Change> changes;
  // The state ("Stopped", "Started") a method of the run left each pool or site in, by its name.
  std::map<std::u16string, std::u16string> states;

 private:
  Iis& real_;
};
