#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/port_guards.h"
#include "platform/crypto.h"
#include "platform/handles.h"
#include "platform/http.h"
#include "product/run_context.h"

class FetchAhead;

// The download server the packages come from, unless the command line names another.
inline constexpr char kDefaultDownloadHost[] = "downloads.halvorn.example";
// Width of the name of the server last connected to, terminating NUL included.
inline constexpr std::size_t kDownloadServerNameWidth = 260;

// A run with its package source: the download session and its proxy, or the offline layout, the
// publishers a package must be signed by, and the packages held open between their check and their use.
struct DownloadContext : RunContext {
  using RunContext::RunContext;

  // The proxy found in the system's settings (the machine's named proxy, else the current user's named or
  // automatic one): the bypass list goes with the named proxy, an automatic configuration is asked for
  // each request's URL first, and a named proxy beside it serves when it finds none.
  ProxySettings systemProxy;
  // The WinHTTP session of the downloads: opened once, kept for the life of the process.
  InternetHandle httpSession = InternetHandle::none;
  // The session was opened without a proxy while the system's settings are automatic: each request gets
  // the proxy the configuration gives for its URL.
  bool proxyPerRequest = false;
  // Host of the download server: kDefaultDownloadHost, or the one given with /source=HOST.
  std::string downloadHost = kDefaultDownloadHost;
  // The host last connected to, for the connection-failure lines.
  std::string downloadServerName;
  // A folder or share that holds an offline layout: the packages are read from its "downloads" folder,
  // checked against its SHA256SUMS, instead of being fetched from the download host; empty for the host.
  std::string packageSource;

  // The SHA-256 of the SubjectPublicKeyInfo of each publisher (or its authority) whose signature a package
  // must carry to be started or extracted; none in a program built without pins, which then checks the
  // signature alone and says so once (`unpinnedNoted`).
  std::vector<Sha256Hash::Digest> publisherPins;
  bool unpinnedNoted = false;
  // Packages checked on disk and held open, sharing read only, until the step that runs them has run
  // (the server's cabinets until they are unpacked into its folder, SQL Server's setup until it is started).
  std::vector<UniqueFile> heldPackages;

  // The packages of the component being updated that are fetched beside the run, ahead of their turns;
  // none when no component is being updated.
  FetchAhead* fetchAhead = nullptr;

  // A run that only plans: it fetches no package (only the directory at a cabinet's start), and every
  // change it makes stays in the memory of the machine it is given.
  bool planOnly = false;
};
