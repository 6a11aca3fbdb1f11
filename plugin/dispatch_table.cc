#include "plugin/dispatch_table.h"

#include "crypto/handlers.h"
#include "plugin/quillmar_core_windows.h"
#include "services/handlers.h"
#include "storage/handlers.h"

namespace quillmar {

const std::array<DispatchEntry, 20> kDispatchTable = {{
    {"isKeychainSecure", HandleIsKeychainSecure, false},
    {"getBiometryAvailability", HandleGetBiometryAvailability, false},
    {"getKeychainItem", HandleGetKeychainItem, true},
    {"getBiometricSecureItem", HandleGetBiometricSecureItem, true},
    {"upsertKeychainItem", HandleUpsertKeychainItem, true},
    {"upsertBiometricSecureItem", HandleUpsertKeychainItem, true},
    {"deleteKeychainItem", HandleDeleteKeychainItem, true},
    {"deriveBitsFromPassword", HandleDeriveBitsFromPassword, true},
    {"encryptToStringWithKey", HandleEncryptToStringWithKey, true},
    {"decryptStringWithKey", HandleDecryptStringWithKey, true},
    {"encryptToStringWithPassword", HandleEncryptToStringWithPassword, true},
    {"decryptStringWithPassword", HandleDecryptStringWithPassword, true},
    {"computePasswordChallengeResponse", HandleComputePasswordChallengeResponse, true},
    {"encryptToStringWithPublicKey", HandleEncryptToStringWithPublicKey, true},
    {"decryptStringWithPrivateKey", HandleDecryptStringWithPrivateKey, true},
    {"signChallenge", HandleSignChallenge, true},
    {"copySensitiveDataToClipboard", HandleCopySensitiveDataToClipboard, true},
    {"getDeviceType", HandleGetDeviceType, false},
    {"getSystemProxyConfig", HandleGetSystemProxyConfig, true},
    {"installStoreUpdate", HandleInstallStoreUpdate, false},
}};

}  // namespace quillmar
