// Feeds arbitrary bytes to the RSA key readers. Whatever reads must hold
// numbers inside the input and within the documented limits.
#include "base/der_reader.h"

#include <cstdint>
#include <cstdlib>

namespace {

using quillmar::base::ByteView;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A magnitude without a leading zero, inside `input`.
void CheckNumber(ByteView number, ByteView input) {
  Check(!number.empty() && number[0] != 0);
  Check(number.data() >= input.data() &&
        number.data() + number.size() <= input.data() + input.size());
}

void CheckPublic(ByteView modulus, ByteView exponent, ByteView input) {
  CheckNumber(modulus, input);
  CheckNumber(exponent, input);
  size_t bits = quillmar::base::BitLength(modulus);
  Check(bits >= quillmar::base::kRsaMinModulusBits && bits <= quillmar::base::kRsaMaxModulusBits);
  Check(exponent.size() <= quillmar::base::kRsaMaxPublicExponentSize);
  Check((modulus.back() & 1) != 0 && (exponent.back() & 1) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteView input(data, size);
  if (auto key = quillmar::base::ReadRsaSubjectPublicKeyInfo(input)) {
    CheckPublic(key->modulus, key->public_exponent, input);
  }
  if (auto key = quillmar::base::ReadRsaPrivateKeyInfo(input)) {
    CheckPublic(key->modulus, key->public_exponent, input);
    for (ByteView number : {key->private_exponent, key->prime1, key->prime2, key->exponent1,
                            key->exponent2, key->coefficient}) {
      CheckNumber(number, input);
    }
    Check(key->private_exponent.size() <= key->modulus.size());
    Check(key->exponent1.size() <= key->prime1.size() &&
          key->coefficient.size() <= key->prime1.size() &&
          key->exponent2.size() <= key->prime2.size());
  }
  return 0;
}
