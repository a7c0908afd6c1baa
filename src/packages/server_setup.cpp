#include "packages/server_setup.h"

ServerSetup::ServerSetup(SetupContext& context) : owner(context), workBuffer(kWorkBufferSize, '\0') {}
