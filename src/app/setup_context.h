#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/download_source.h"
#include "app/run_mode.h"
#include "packages/client_setup.h"
#include "packages/download_status_store.h"
#include "packages/server_setup.h"
#include "platform/handles.h"
#include "platform/machine.h"
#include "prereq/sql_server_setup.h"

// The user's choices for one run (`SetupContext::options`), cleared at every OK press.
using SetupOptions = std::uint32_t;
inline constexpr SetupOptions kOptionEssential = 0x1;
inline constexpr SetupOptions kOptionTeam = 0x2;
inline constexpr SetupOptions kOptionEnterprise = 0x4;
inline constexpr SetupOptions kOptionExpress = 0x20;
inline constexpr SetupOptions kOption64Bit = 0x40;
inline constexpr SetupOptions kOption32Bit = 0x80;
inline constexpr SetupOptions kOptionAiClient = 0x100;
inline constexpr SetupOptions kOptionClient = 0x200;
inline constexpr SetupOptions kOptionServer = 0x400;
inline constexpr SetupOptions kOptionInstallSqlExpress = 0x800;
inline constexpr SetupOptions kOptionNativeClientMissing = 0x20000;
inline constexpr SetupOptions kOptionInformationServerPort = 0x200000;

// Dialog colours (COLORREF: 0x00BBGGRR) and themes.
inline constexpr std::uint32_t kBlueBackground = 0xFC9614;
inline constexpr std::uint32_t kDarkBackground = 0x000000;
inline constexpr std::uint32_t kWhiteText = 0xFFFFFF;
inline constexpr std::int32_t kBlueTheme = 1;
inline constexpr std::int32_t kDarkTheme = 2;

// Widths of the texts read into the context: every read from a control or the system is bounded to the
// width of its field, terminating NUL included.
inline constexpr std::size_t kStartDirectoryWidth = 256;
inline constexpr std::size_t kHostsWidth = 256;
inline constexpr std::size_t kProxyServerWidth = 256;
inline constexpr std::size_t kSqlPasswordWidth = 64;
inline constexpr std::size_t kDownloadServerNameWidth = 260;
inline constexpr std::size_t kClientDirectoryWidth = 256;
inline constexpr std::size_t kServerDirectoryWidth = 280;
inline constexpr std::size_t kEditionNameWidth = 11;  // "Enterprise" and its NUL

// The one object of a setup: what the showing dialog is, what the user chose, how far the run is, and the
// component objects of the client, server, SQL Server and download record. The exe keeps one for the life
// of the process; it is never copied.
struct SetupContext {
  explicit SetupContext(Machine& platform);
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;
  ~SetupContext();

  Machine& machine;

  std::unique_ptr<ServerSetup> serverSetup;
  std::unique_ptr<ClientSetup> clientSetup;
  std::unique_ptr<SqlServerSetup> sqlServerSetup;
  std::unique_ptr<DownloadStatusStore> downloadStatus;

  RunMode runMode = 0;
  std::int32_t themeState = kBlueTheme;
  WindowHandle dialogWindow = WindowHandle::none;
  std::string startDirectory;
  double progressTotal = 0;
  double progressDone = 0;
  // Progress weights of the steps of a run, set when a run starts.
  double stepClientRuntime = 0;
  double stepClientPackage = 0;
  double stepServerDownload = 0;
  double stepServerExtract = 0;
  double stepSqlDownload = 0;
  double stepWebsite = 0;
  std::uint32_t backgroundColour = kBlueBackground;
  std::uint32_t textColour = kWhiteText;
  // The setup log: none until the first line, FileHandle::invalid when it could not be created.
  FileHandle logFile = FileHandle::none;
  SetupOptions options = 0;
  std::string hosts;
  std::string proxyServer;
  // Secrets: never written to the log or to standard output.
  std::string sqlPassword;
  std::string sqlPasswordAgain;
  std::int32_t serverPort = 0;
  std::string downloadServerName;
  std::string clientDirectory;
  std::string serverDirectory;
  InternetHandle httpSession = InternetHandle::none;
  std::string editionName;

  // Host of the download server: kDefaultDownloadHost, or the one given with /source=HOST.
  std::string downloadHost = kDefaultDownloadHost;

  // An installer of this run asked for a restart to complete.
  bool restartNeeded = false;

  // The solid brush of backgroundColour that the dialogs paint with.
  BrushHandle backgroundBrush = BrushHandle::none;

  // Percentage of the last IIS feature progress report.
  int featureProgressPercent = 0;
};
