// Known answers made by tests/crypto/vectors/make_known_answers.py with
// Python's cryptography package. Generated once; do not edit.
#pragma once

namespace quillmar::testing {

struct Pbkdf2Answer {
  const char* password;
  const char* salt_base64;
  unsigned iterations;
  const char* derived_base64;
};

// PBKDF2-HMAC-SHA512: password (UTF-8), salt base64, iterations, derived base64.
inline constexpr Pbkdf2Answer kPbkdf2Answers[] = {
    {"password", "c2FsdA==", 1, "hn9wzxreAs/zdSWZo6U9xK80x6ZpgVrl1RNVThyM8lLALUcKKFoFAbrZmb/pQ8CPBQI119aLHaVeY/c7YKV/zg=="},
    {"pässwörd 🔑", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=", 100000, "ls57Ich39U+oPlo1qlNOQkn0u82jaj1q+a/pieu08sAEvhM4vFdWUaIWL+eYOLBnLEPjN3tvu7jUm6PG95fdLg=="},
    {"PPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPP", "ZGVmZ2hpamtsbW5vcHFycw==", 3, "SrlWi5bnFWPQb1ujVW0LKRuW0F0F5neFA20kkc4xyWcU7UICIUizaBmALjD3J7EfhBQ7CDD0CE/eiXZnfdTRrNCPc4aXgcXFE/w9t0IUGCjxADUHXgXa+VG7mTrdL7hlqQFK8Q=="},
    {"short", "", 2, "Bx6Y8YnFpUm5T1gUN3d/fbVmaooN1acQ1hD/Xa55j/kqDZDIcg=="},
    {"", "AAECAwQFBg==", 2, "XFeCF06dN6PSN+aOlRFuVVveGCz8FF68CGVJgiLNAKiryog7X4ihIdhu17bdMijbvnjU/xI3cjlgNJi9HhwW6w=="},
    {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "YmxvY2stc2l6ZWQgcGFzc3dvcmQ=", 5, "eyjo2+qyU3bLE1lKRyUS4gMTO1XnW6BRvw2Jq6rAOsyMLV9wzoV5gMR/ZR6cbv1495jyspRn4wPMr7Y/JcYOLCSL8ufZTZg0BiaPdbrMMdkY1GedaDKtK4zpUU9YUQzwCeBWxnGGNqZZ4wYSLJNMh2JhMPcKbKlPwJ367Z7Nx5aO"},
};
inline constexpr char kHmacKey[] = "QEFCQ0RFRkdISUpLTE1OT1BRUlNUVVZXWFlaW1xdXl8=";
inline constexpr char kHmacData[] = "VGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZw==";
inline constexpr char kHmacValue[] = "0B+nUy6CA5rDK9IAkBQbTxOqjy9LZmuCMbQ49DuPwpA=";
inline constexpr char kAesKey[] = "oKGio6SlpqeoqaqrrK2ur7CxsrO0tba3uLm6u7y9vr8=";
inline constexpr char kAesIv[] = "EBESExQVFhcYGRobHB0eHw==";
inline constexpr char kAesPlaintext15[] = "AAECAwQFBgcICQoLDA0O";
inline constexpr char kAesCiphertext15[] = "j6BcChErOO/twDMq4yLDjA==";
inline constexpr char kAesPlaintext16[] = "AAECAwQFBgcICQoLDA0ODw==";
inline constexpr char kAesCiphertext16[] = "3ag8O5CUVUVfN8EK+sGFtlibJwhNeKiLPsDnxX09sFA=";
inline constexpr char kMessage[] = "Grüße, 世界! 🔐 \"quoted\"";
inline constexpr char kK001Key[] = "gIGCg4SFhoeIiYqLjI2Oj5CRkpOUlZaXmJmam5ydnp+goaKjpKWmp6ipqqusra6vsLGys7S1tre4ubq7vL2+vw==";
inline constexpr char kK001Iv[] = "8PHy8/T19vf4+fr7/P3+/w==";
inline constexpr char kK001Text[] = "formatK001-zriCtV8jR1YOhLWYfRyHdSrLKLJOmiT2puOtlPj84P4=8PHy8/T19vf4+fr7/P3+/w==T3JHiCJlZbL2ODy83A/cB8Ls0rVyCcioYhStvkEkxPM=";
inline constexpr char kJsonLayoutKey[] = "ICEiIyQlJicoKSorLC0uLzAxMjM0NTY3ODk6Ozw9Pj8=";
inline constexpr char kJsonLayoutText[] = "{\"v\": [1, {\"x\": null}], \"iv\": \"YGFiY2RlZmdoaWprbG1ubw==\", \"cipher\": \"dKT7P9MrzQU3cp4cxo4NFndfATmzpT3I3B2QOPE+Bs0=\"}";
inline constexpr char kBareLayoutText[] = "MDEyMzQ1Njc4OTo7PD0+Pw==o6X+vTnNwAWOpWXWFVW8Of7dzyCAMDe9trSN0ozrF3E=";
inline constexpr char kPassword[] = "correct horse 🐎 battery";
inline constexpr char kP001Salt[] = "AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyA=";
inline constexpr char kP001Iv[] = "UFFSU1RVVldYWVpbXF1eXw==";
inline constexpr char kP001Challenge[] = "wMHCw8TFxsfIycrLzM3Ozw==";
inline constexpr char kP001Text[] = "formatP001-AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyA=wMHCw8TFxsfIycrLzM3Ozw==MyiFgpj/UQSkMBxcn6FBaABKc9wpqvZZ6aDe6CHR1N0=DbMtuOchRIdhP/PcMb5/OPOHxt43VzkXDc7GY+up1PU=UFFSU1RVVldYWVpbXF1eXw==8w5idc+mzI2aTLVwYv9McPtTW/Xv3GHQhj1NE4illE0=";
inline constexpr char kLegacyPasswordText[] = "cHFyc3R1dnd4eXp7fH1+fw==kJGSk5SVlpeYmZqbnJ2enw==GQhlEC8F/q7QEVC5SdueNRFTFOPGb9MfbeYbFsCA01k=";

}  // namespace quillmar::testing
