// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/password_hash.h"

#include <argon2.h>
#include <openssl/rand.h>

#include <vector>

namespace unitfleetd {
namespace {

struct Cost {
    uint32_t passes, memoryKiB, lanes;
};

// RFC 9106's second recommended setting for passwords (3 passes, 64 MiB);
// tokens need only the format.
Cost costOf(HashCost cost) {
    return cost == HashCost::Password ? Cost{3, 64 * 1024, 1} : Cost{1, 64, 1};
}

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

}  // namespace

std::optional<std::string> randomHex(int bytes, std::string& error) {
    std::vector<unsigned char> raw(static_cast<std::size_t>(bytes));
    if (RAND_bytes(raw.data(), bytes) != 1) {
        error = "cannot draw random bytes";
        return std::nullopt;
    }
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : raw) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::optional<std::string> hashSecret(const std::string& secret, HashCost cost,
                                      std::string& error) {
    unsigned char salt[kSaltBytes];
    if (RAND_bytes(salt, sizeof salt) != 1) {
        error = "cannot draw a random salt";
        return std::nullopt;
    }
    Cost c = costOf(cost);
    std::size_t length =
        argon2_encodedlen(c.passes, c.memoryKiB, c.lanes, kSaltBytes, kHashBytes, Argon2_id);
    std::string encoded(length, '\0');
    int rc = argon2id_hash_encoded(c.passes, c.memoryKiB, c.lanes, secret.data(), secret.size(),
                                   salt, sizeof salt, kHashBytes, encoded.data(), encoded.size());
    if (rc != ARGON2_OK) {
        error = std::string("cannot hash: ") + argon2_error_message(rc);
        return std::nullopt;
    }
    encoded.resize(encoded.find('\0'));
    return encoded;
}

bool verifySecret(const std::string& secret, const std::string& encoded) {
    if (encoded.rfind("$argon2id$", 0) != 0)
        return false;
    return argon2id_verify(encoded.c_str(), secret.data(), secret.size()) == ARGON2_OK;
}

}  // namespace unitfleetd
