#pragma once

#include "fake_machine.h"
#include "run/program.h"

// The program on the fake machine, for the tests that drive its steps without a dialog. Its packages are
// those of the test world's publisher, whose authority the program pins.
struct SetupWorld {
  SetupWorld() { state.publisherPins = {FakeCrypto::Pin(FakeCrypto::kPublisherCaKey)}; }
  FakeMachine fake;
  Program program{fake.machine};
  SetupState& state = program.state;
  SetupComponents& steps = program.steps;
};
