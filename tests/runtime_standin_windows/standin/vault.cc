// PasswordVault over the state folder's "vault" file, shared by every
// process of the prefix. Each call reads the file afresh; a change reads,
// edits and writes it under the state folder's mutex.
//
// The file holds the user's lockers as a desktop program sees them: "Apps
// not running in an AppContainer (for example, regular Desktop apps) can
// access all the user's lockers, including those of AppContainer apps"
// (PasswordVault class page). So every entry is visible to every caller,
// whichever program wrote it (a test's PutVaultEntry is such a program).
#include <security_credentials.h>

#include <string>

#include "collections.h"
#include "credential.h"
#include "factories.h"
#include "state.h"

namespace quillmar::standin {
namespace {

using CredentialList =
    VectorView<credentials::PasswordCredential*, credentials::IPasswordCredential*>;

class CredentialListView final : public CredentialList {
 public:
  using CredentialList::CredentialList;
};

struct Key {
  std::string resource;
  std::string user_name;
};

// The resource and user name of a credential of any implementation.
HRESULT KeyOf(credentials::IPasswordCredential* credential, Key* key) {
  if (credential == nullptr) return E_INVALIDARG;
  HSTRING resource = nullptr;
  HSTRING user_name = nullptr;
  HRESULT code = credential->get_Resource(&resource);
  if (SUCCEEDED(code)) code = credential->get_UserName(&user_name);
  if (SUCCEEDED(code)) {
    key->resource = ToUtf8(FromString(resource));
    key->user_name = ToUtf8(FromString(user_name));
  }
  WindowsDeleteString(resource);
  WindowsDeleteString(user_name);
  return code;
}

// Whether two names are the same entry's. The documentation does not say
// whether names differ by case; the Credential Manager beneath compares
// its target names without case, and so, as most reported, does the vault:
// that is the default. "vault.names=case_sensitive" chooses the other.
bool IgnoreCase() { return state::ScriptValue("vault.names").value_or("") != "case_sensitive"; }

bool SameName(const std::string& a, const std::string& b, bool ignore_case) {
  if (a == b) return true;
  if (!ignore_case) return false;
  std::wstring wide_a = FromUtf8(a);
  std::wstring wide_b = FromUtf8(b);
  return CompareStringOrdinal(wide_a.data(), static_cast<int>(wide_a.size()), wide_b.data(),
                              static_cast<int>(wide_b.size()), TRUE) == CSTR_EQUAL;
}

bool Matches(const VaultEntry& entry, const Key& key, bool ignore_case) {
  return SameName(entry.resource, key.resource, ignore_case) &&
         SameName(entry.user_name, key.user_name, ignore_case);
}

// No documented limit on a password's size, but field reports show one;
// the legacy Credential Manager's blob holds at most 2560 bytes
// (CRED_MAX_CREDENTIAL_BLOB_SIZE), the default here, counted over the
// password's UTF-16 bytes. "vault.password_limit=<bytes>" changes it, 0
// lifts it. Over it, Add fails as those reports show: "The stub received
// bad data." (RPC_X_BAD_STUB_DATA).
bool OverSizeLimit(const std::wstring& password) {
  long long limit = state::ScriptNumber("vault.password_limit", 2560);
  return limit > 0 && static_cast<long long>(password.size() * sizeof(wchar_t)) > limit;
}

// PasswordVault.Add: "You can only store up to 20 credentials per app in
// the Credential Locker. If you try to store more than 20 credentials, you
// will encounter an Exception"; "the limit ... only applies when using the
// Credential Locker from a UWP app or from a desktop app running in an
// AppContainer". "vault.app_container=1" runs the caller in one, whose
// locker is then every entry of the file; the page names no code: E_FAIL.
constexpr size_t kAppContainerLimit = 20;
bool InAppContainer() { return state::ScriptNumber("vault.app_container", 0) != 0; }

std::vector<VaultEntry> Entries() {
  state::Lock lock;
  return state::ReadVault();
}

class Vault final : public Object<credentials::IPasswordVault, IAgileObject> {
 public:
  // PasswordVault.Add: "Adds a credential to the Credential Locker." An
  // entry of the same resource and user name is replaced ("Credential
  // locker for Windows apps": adding a credential with an existing
  // resource and user name updates the stored password).
  HRESULT STDMETHODCALLTYPE Add(credentials::IPasswordCredential* credential) override {
    HRESULT failure = state::Failure("vault.add");
    if (FAILED(failure)) return failure;
    Key key;
    HRESULT code = KeyOf(credential, &key);
    if (FAILED(code)) return code;
    HSTRING password = nullptr;
    code = credential->get_Password(&password);
    if (FAILED(code)) return code;
    std::wstring wide = FromString(password);
    WindowsDeleteString(password);
    if (OverSizeLimit(wide)) {
      Wipe(wide);
      return kBadStubData;
    }
    VaultEntry added{key.resource, key.user_name, ToUtf8(wide)};
    Wipe(wide);
    bool app_container = InAppContainer();
    bool ignore_case = IgnoreCase();
    {
      state::Lock lock;
      std::vector<VaultEntry> entries = state::ReadVault();
      size_t replaced = std::erase_if(entries, [&key, ignore_case](const VaultEntry& entry) {
        return Matches(entry, key, ignore_case);
      });
      if (app_container && replaced == 0 && entries.size() >= kAppContainerLimit) code = E_FAIL;
      if (SUCCEEDED(code)) {
        entries.push_back(added);
        state::WriteVault(std::move(entries));
      }
      for (VaultEntry& entry : entries) Wipe(entry.password);
    }
    Wipe(added.password);
    return code;
  }

  // PasswordVault.Remove: "Removes a credential from the Credential
  // Locker." A credential the locker does not hold fails with "Element
  // not found" (0x80070490), as Retrieve does.
  HRESULT STDMETHODCALLTYPE Remove(credentials::IPasswordCredential* credential) override {
    HRESULT failure = state::Failure("vault.remove");
    if (FAILED(failure)) return failure;
    Key key;
    HRESULT code = KeyOf(credential, &key);
    if (FAILED(code)) return code;
    bool ignore_case = IgnoreCase();
    state::Lock lock;
    std::vector<VaultEntry> entries = state::ReadVault();
    size_t removed = std::erase_if(entries, [&key, ignore_case](const VaultEntry& entry) {
      return Matches(entry, key, ignore_case);
    });
    if (removed == 0) return kNotFound;
    state::WriteVault(std::move(entries));
    return S_OK;
  }

  // PasswordVault.Retrieve: "Reads a credential from the Credential
  // Locker"; "if a match does not exist, an exception will throw"
  // (0x80070490, "Element not found."). The credential carries the entry's
  // own names, and its password "is initially blank" until RetrievePassword
  // (PasswordCredential.Password: "You must call RetrievePassword first to
  // set the initial value"; the Credential Locker sample). An empty name
  // names no entry and is refused as the constructor refuses it.
  HRESULT STDMETHODCALLTYPE Retrieve(HSTRING resource, HSTRING user_name,
                                     credentials::IPasswordCredential** credential) override {
    if (credential == nullptr) return E_POINTER;
    *credential = nullptr;
    HRESULT failure = state::Failure("vault.retrieve");
    if (FAILED(failure)) return failure;
    if (WindowsGetStringLen(resource) == 0 || WindowsGetStringLen(user_name) == 0) {
      return E_INVALIDARG;
    }
    Key key{ToUtf8(FromString(resource)), ToUtf8(FromString(user_name))};
    bool ignore_case = IgnoreCase();
    // The entry of exactly these names, else one that differs only in case.
    std::vector<VaultEntry> entries = Entries();
    const VaultEntry* found = nullptr;
    for (const VaultEntry& entry : entries) {
      if (Matches(entry, key, false) || (found == nullptr && Matches(entry, key, ignore_case))) {
        found = &entry;
      }
    }
    if (found != nullptr) {
      *credential =
          Make<Credential>(FromUtf8(found->resource), FromUtf8(found->user_name), L"", true)
              .Detach();
    }
    HRESULT result = found != nullptr ? S_OK : kNotFound;
    for (VaultEntry& entry : entries) Wipe(entry.password);
    state::Hold("vault.retrieve");
    return result;
  }

  // PasswordVault.FindAllByResource: "If a match does not exist, an
  // exception will throw"; "each object returned will have the proper
  // resource and user name, but it will not include the password."
  HRESULT STDMETHODCALLTYPE FindAllByResource(
      HSTRING resource,
      ABI::Windows::Foundation::Collections::IVectorView<credentials::PasswordCredential*>**
          credentials) override {
    std::string wanted = ToUtf8(FromString(resource));
    bool ignore_case = IgnoreCase();
    return Find(
        [&](const VaultEntry& entry) { return SameName(entry.resource, wanted, ignore_case); },
        true, credentials);
  }

  // PasswordVault.FindAllByUserName: as FindAllByResource, by user name.
  HRESULT STDMETHODCALLTYPE FindAllByUserName(
      HSTRING user_name,
      ABI::Windows::Foundation::Collections::IVectorView<credentials::PasswordCredential*>**
          credentials) override {
    std::string wanted = ToUtf8(FromString(user_name));
    bool ignore_case = IgnoreCase();
    return Find(
        [&](const VaultEntry& entry) { return SameName(entry.user_name, wanted, ignore_case); },
        true, credentials);
  }

  // PasswordVault.RetrieveAll: every credential, without passwords; an
  // empty locker gives an empty list.
  HRESULT STDMETHODCALLTYPE RetrieveAll(
      ABI::Windows::Foundation::Collections::IVectorView<credentials::PasswordCredential*>**
          credentials) override {
    return Find([](const VaultEntry&) { return true; }, false, credentials);
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Security.Credentials.PasswordVault";
  }

 private:
  template <class Predicate>
  HRESULT Find(
      Predicate wanted, bool none_fails,
      ABI::Windows::Foundation::Collections::IVectorView<credentials::PasswordCredential*>**
          credentials) {
    if (credentials == nullptr) return E_POINTER;
    *credentials = nullptr;
    std::vector<credentials::IPasswordCredential*> found;
    for (VaultEntry& entry : Entries()) {
      if (wanted(entry)) {
        found.push_back(
            Make<Credential>(FromUtf8(entry.resource), FromUtf8(entry.user_name), L"", true)
                .Detach());
      }
      Wipe(entry.password);
    }
    if (found.empty() && none_fails) return kNotFound;
    *credentials = Make<CredentialListView>(std::move(found)).Detach();
    return S_OK;
  }
};

// PasswordVault's factory: the default constructor only.
class VaultFactory final : public Factory<IActivationFactory, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance == nullptr) return E_POINTER;
    *instance = nullptr;
    HRESULT failure = state::Failure("vault.activate");
    if (FAILED(failure)) return failure;
    *instance = Make<Vault>().Detach();
    state::Hold("vault.activate");
    return S_OK;
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Security.Credentials.PasswordVault";
  }
};

}  // namespace

IActivationFactory* PasswordVaultFactory() {
  static VaultFactory* factory = new VaultFactory();
  return factory;
}

}  // namespace quillmar::standin
