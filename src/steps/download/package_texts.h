#pragma once

#include <cstdint>

#include "platform/http.h"

// How the download host is asked for a package, its digest or its size: over TLS, never from a cache.
inline constexpr char16_t kAcceptHeaders[] = u"Accept: */*\r\n\r\n";
inline constexpr std::uint32_t kRequestFlags = Http::kFlagSecure | Http::kFlagRefresh;

// The lines of a package's download, the same whether it comes from the download host or a local source.
inline constexpr char kObjectFolder[] = "downloads/";
inline constexpr char kGetting[] = "Getting ";
inline constexpr char kFromServer[] = " from server";
inline constexpr char kCouldNotFind[] = "Could not find ";
inline constexpr char kOnServer[] = " on server. Please contact you administrator";
inline constexpr char kNotProcessed[] = "Could not ";
inline constexpr char kAfterAttempts[] = " after 5 attempts";
inline constexpr char kBrokenOff[] = "Download of ";
inline constexpr char kDigestMismatch[] = " does not match its published SHA-256 digest";
inline constexpr char kNotReadBack[] = " could not be opened for its check";
