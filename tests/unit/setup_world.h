#pragma once

#include "fake_machine.h"
#include "run/program.h"

// The program on the fake machine, for the tests that drive its steps without a dialog.
struct SetupWorld {
  FakeMachine fake;
  Program program{fake.machine};
  SetupState& state = program.state;
  SetupComponents& steps = program.steps;
};
