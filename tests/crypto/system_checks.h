// What the cryptography tests ask of the system itself.
#pragma once

#include "platform/crypto.h"

namespace quillmar::testing {

// True when the test runs under Wine, whose CNG (Wine 8) has no RSA-OAEP.
bool RunningUnderWine();

// True when `signature` is an RSASSA-PSS signature (SHA-256, MGF1-SHA-256,
// 32 bytes of salt) over `message` under the DER SubjectPublicKeyInfo
// `public_key`, checked by the system's library without the backend.
bool VerifiesAsPssSha256(const platform::Buffer& public_key, const platform::Buffer& message,
                         const platform::Buffer& signature);

}  // namespace quillmar::testing
