// SPDX-License-Identifier: Apache-2.0
// Secrets are kept only as argon2id hashes (libargon2, encoded with their
// parameters and salt). Passwords get a memory-hard cost; API tokens are 256
// random bits, which no guessing can reach, so theirs is light enough to
// check on every request.
#pragma once

#include <optional>
#include <string>

namespace unitfleetd {

enum class HashCost { Password, Token };

// The encoded argon2id hash of `secret` with a fresh random salt.
std::optional<std::string> hashSecret(const std::string& secret, HashCost cost, std::string& error);
// True when `secret` matches `encoded` (compared in constant time by libargon2).
bool verifySecret(const std::string& secret, const std::string& encoded);
// `bytes` random bytes from OpenSSL's generator, as lower-case hex.
std::optional<std::string> randomHex(int bytes, std::string& error);

}  // namespace unitfleetd
