// PasswordVault over the state folder's "vault" file, shared by every
// process of the prefix. Each call reads the file afresh; a change reads,
// edits and writes it under the state folder's mutex.
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

bool Matches(const VaultEntry& entry, const Key& key) {
  return entry.resource == key.resource && entry.user_name == key.user_name;
}

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
    VaultEntry added{key.resource, key.user_name, ToUtf8(wide)};
    Wipe(wide);
    {
      state::Lock lock;
      std::vector<VaultEntry> entries = state::ReadVault();
      std::erase_if(entries, [&key](const VaultEntry& entry) { return Matches(entry, key); });
      entries.push_back(added);
      state::WriteVault(std::move(entries));
    }
    Wipe(added.password);
    return S_OK;
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
    state::Lock lock;
    std::vector<VaultEntry> entries = state::ReadVault();
    size_t removed =
        std::erase_if(entries, [&key](const VaultEntry& entry) { return Matches(entry, key); });
    if (removed == 0) return kNotFound;
    state::WriteVault(std::move(entries));
    return S_OK;
  }

  // PasswordVault.Retrieve: "Reads a credential from the Credential
  // Locker", returning "the returned credential that contains all the
  // data"; "if a match does not exist, an exception will throw"
  // (0x80070490, "Element not found.").
  HRESULT STDMETHODCALLTYPE Retrieve(HSTRING resource, HSTRING user_name,
                                     credentials::IPasswordCredential** credential) override {
    if (credential == nullptr) return E_POINTER;
    *credential = nullptr;
    HRESULT failure = state::Failure("vault.retrieve");
    if (FAILED(failure)) return failure;
    Key key{ToUtf8(FromString(resource)), ToUtf8(FromString(user_name))};
    HRESULT result = kNotFound;
    for (VaultEntry& entry : Entries()) {
      if (Matches(entry, key)) {
        std::wstring password = FromUtf8(entry.password);
        *credential =
            Make<Credential>(FromString(resource), FromString(user_name), password, true).Detach();
        Wipe(password);
        result = S_OK;
      }
      Wipe(entry.password);
    }
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
    return Find([&wanted](const VaultEntry& entry) { return entry.resource == wanted; }, true,
                credentials);
  }

  // PasswordVault.FindAllByUserName: as FindAllByResource, by user name.
  HRESULT STDMETHODCALLTYPE FindAllByUserName(
      HSTRING user_name,
      ABI::Windows::Foundation::Collections::IVectorView<credentials::PasswordCredential*>**
          credentials) override {
    std::string wanted = ToUtf8(FromString(user_name));
    return Find([&wanted](const VaultEntry& entry) { return entry.user_name == wanted; }, true,
                credentials);
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
