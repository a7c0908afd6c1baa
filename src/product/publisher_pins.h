#pragma once

#include <vector>

#include "platform/crypto.h"

// The publishers pinned when the program was built: the SHA-256 of each pinned key's SubjectPublicKeyInfo.
// Empty for a build without pins.
std::vector<Sha256Hash::Digest> BuiltPublisherPins();
