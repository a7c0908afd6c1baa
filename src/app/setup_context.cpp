#include "app/setup_context.h"

SetupContext::SetupContext(Machine& platform)
    : machine(platform),
      serverSetup(std::make_unique<ServerSetup>(*this)),
      clientSetup(std::make_unique<ClientSetup>(*this)),
      sqlServerSetup(std::make_unique<SqlServerSetup>(*this)),
      downloadStatus(std::make_unique<DownloadStatusStore>(*this)) {}

SetupContext::~SetupContext() = default;
