// What the cryptography tests ask of the system itself: whether Wine runs
// them, and an RSA-PSS verifier that is not the backend under test.
#include "tests/crypto/system_checks.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h and wincrypt.h rely on its types.
#include <bcrypt.h>
#include <wincrypt.h>
#else
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#endif

namespace quillmar::testing {

#ifdef _WIN32

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool VerifiesAsPssSha256(const platform::Buffer& public_key, const platform::Buffer& message,
                         const platform::Buffer& signature) {
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD info_size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, public_key.data(),
                           static_cast<DWORD>(public_key.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           &info, &info_size)) {
    return false;
  }
  BCRYPT_KEY_HANDLE key = nullptr;
  bool imported = CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, info, 0, nullptr, &key);
  LocalFree(info);
  if (!imported) return false;
  UCHAR digest[32];
  BCRYPT_ALG_HANDLE sha256 = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok =
      BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
      BCRYPT_SUCCESS(BCryptCreateHash(sha256, &hash, nullptr, 0, nullptr, 0, 0)) &&
      BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(message.data()),
                                    static_cast<ULONG>(message.size()), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash) BCryptDestroyHash(hash);
  if (sha256) BCryptCloseAlgorithmProvider(sha256, 0);
  BCRYPT_PSS_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM, 32};
  ok = ok && BCRYPT_SUCCESS(BCryptVerifySignature(
                 key, &padding, digest, sizeof digest, const_cast<PUCHAR>(signature.data()),
                 static_cast<ULONG>(signature.size()), BCRYPT_PAD_PSS));
  BCryptDestroyKey(key);
  return ok;
}

#else

bool RunningUnderWine() { return false; }

bool VerifiesAsPssSha256(const platform::Buffer& public_key, const platform::Buffer& message,
                         const platform::Buffer& signature) {
  const unsigned char* cursor = public_key.data();
  EVP_PKEY* key = d2i_PUBKEY(nullptr, &cursor, static_cast<long>(public_key.size()));
  EVP_MD_CTX* digest = EVP_MD_CTX_new();
  EVP_PKEY_CTX* context = nullptr;
  bool ok = key && digest &&
            EVP_DigestVerifyInit(digest, &context, EVP_sha256(), nullptr, key) > 0 &&
            EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PSS_PADDING) > 0 &&
            EVP_PKEY_CTX_set_rsa_pss_saltlen(context, 32) > 0 &&
            EVP_PKEY_CTX_set_rsa_mgf1_md(context, EVP_sha256()) > 0 &&
            EVP_DigestVerify(digest, signature.data(), signature.size(), message.data(),
                             message.size()) == 1;
  EVP_MD_CTX_free(digest);
  EVP_PKEY_free(key);
  return ok;
}

#endif

}  // namespace quillmar::testing
