#pragma once

#include <string>

#include "core/action_result.h"
#include "platform/handles.h"
#include "product/setup_log.h"

struct DownloadContext;

// What `/check` and the log say of a program built without pinned publishers: "Packages: publisher not
// pinned".
inline constexpr char kPublisherCheckName[] = "Packages";
inline constexpr char kPublisherNotPinned[] = "publisher not pinned";

// Whether the setup starts or extracts a package of this name: a program, a Windows Installer package or
// a cabinet. Only these are checked for their publisher.
bool RunsPackage(const std::string& fileName);
// A package the setup extracts as a cabinet ("cab" in its name, without regard to case).
bool IsCabinetPackage(const std::string& fileName);

// Checks the Authenticode signature of a package the setup is about to start or extract, read through the
// handle that holds it: the signature must verify with its whole chain (WinVerifyTrust; when the
// revocation servers cannot be reached, without revocation, and a line says so), and a certificate of the
// signer's chain must hold a pinned key (the SHA-256 of its SubjectPublicKeyInfo). A program built without
// pins checks the signature alone, and says so in the log once per run. Done, or the check that failed with
// its HRESULT and the line logged ("Refused NAME: unsigned", "signature invalid (0x...)", "publisher not
// pinned"); the component is then failed.
ActionResult CheckPublisher(DownloadContext& run, LogTag tag, const std::string& fileName,
                            const std::string& path, FileHandle held);
