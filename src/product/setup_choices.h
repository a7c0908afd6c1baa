#pragma once

#include <cstdint>
#include <string>

// What a person chose for one run, as the main dialog (or an answer file) gives it.

enum class SetupType { none, client, server, both };
enum class BitSize { none, x64, x32, aiClient };
enum class Edition { none, essential, team, enterprise, express };

struct SetupChoices {
  SetupType setupType = SetupType::none;
  BitSize bitSize = BitSize::none;
  std::string clientDirectory;
  std::string serverDirectory;
  Edition edition = Edition::none;
  // The leading decimal number of the Port text; 0 when it has none.
  std::int32_t port = 0;
  std::string hosts;
  // The proxy the download session goes through; blank for none.
  std::string proxyServer;
  // "Yes" was chosen for Install SQL Server.
  bool installSqlServer = false;
  // Secrets: never written to the log or to standard output.
  std::string sqlPassword;
  std::string sqlPasswordAgain;
};

constexpr bool ChoosesClient(SetupType type) {
  return type == SetupType::client || type == SetupType::both;
}
constexpr bool ChoosesServer(SetupType type) {
  return type == SetupType::server || type == SetupType::both;
}
// The setup type of the two component choices of the maintenance dialog.
constexpr SetupType SetupTypeOf(bool client, bool server) {
  if (client && server) {
    return SetupType::both;
  }
  if (client) {
    return SetupType::client;
  }
  return server ? SetupType::server : SetupType::none;
}
