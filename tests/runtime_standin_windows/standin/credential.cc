#include "credential.h"

#include "factories.h"
#include "state.h"

namespace quillmar::standin {
namespace {

// The class's factory: the default constructor and
// PasswordCredential(resource, userName, password).
class CredentialFactory final
    : public Factory<IActivationFactory, credentials::ICredentialFactory, IAgileObject> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance == nullptr) return E_POINTER;
    *instance = Make<Credential>(L"", L"", L"", false).Detach();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE
  CreatePasswordCredential(HSTRING resource, HSTRING user_name, HSTRING password,
                           credentials::IPasswordCredential** credential) override {
    if (credential == nullptr) return E_POINTER;
    *credential = nullptr;
    HRESULT failure = state::Failure("credential.create");
    if (FAILED(failure)) return failure;
    // PasswordCredential(String, String, String): the user name and the
    // password "must not be null or empty, otherwise an exception will be
    // thrown" (E_INVALIDARG, "The parameter is incorrect.").
    if (WindowsGetStringLen(user_name) == 0 || WindowsGetStringLen(password) == 0) {
      return E_INVALIDARG;
    }
    std::wstring secret = FromString(password);
    *credential =
        Make<Credential>(FromString(resource), FromString(user_name), secret, false).Detach();
    Wipe(secret);
    return S_OK;
  }

 protected:
  const wchar_t* ClassName() const override {
    return L"Windows.Security.Credentials.PasswordCredential";
  }
};

// `required`: the UserName and Password setters refuse an empty text as the
// constructor does ("PasswordCredential.UserName", ".Password").
HRESULT Put(std::mutex& mutex, std::wstring& field, HSTRING value, bool required) {
  if (required && WindowsGetStringLen(value) == 0) return E_INVALIDARG;
  std::wstring copy = FromString(value);
  std::lock_guard lock(mutex);
  Wipe(field);
  field = std::move(copy);
  return S_OK;
}

HRESULT Get(std::mutex& mutex, const std::wstring& field, HSTRING* value) {
  std::lock_guard lock(mutex);
  return HandOut(field, value);
}

}  // namespace

void Wipe(std::wstring& text) {
  SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
  text.clear();
}

void Wipe(std::string& text) {
  SecureZeroMemory(text.data(), text.size());
  text.clear();
}

IActivationFactory* PasswordCredentialFactory() {
  static CredentialFactory* factory = new CredentialFactory();
  return factory;
}

Credential::Credential(std::wstring resource, std::wstring user_name, std::wstring password,
                       bool from_vault)
    : resource_(std::move(resource)),
      user_name_(std::move(user_name)),
      password_(std::move(password)),
      from_vault_(from_vault) {}

Credential::~Credential() { Wipe(password_); }

HRESULT Credential::get_Resource(HSTRING* resource) { return Get(mutex_, resource_, resource); }
HRESULT Credential::put_Resource(HSTRING resource) {
  return Put(mutex_, resource_, resource, false);
}
HRESULT Credential::get_UserName(HSTRING* user_name) { return Get(mutex_, user_name_, user_name); }
HRESULT Credential::put_UserName(HSTRING user_name) {
  return Put(mutex_, user_name_, user_name, true);
}
HRESULT Credential::get_Password(HSTRING* password) { return Get(mutex_, password_, password); }
HRESULT Credential::put_Password(HSTRING password) {
  return Put(mutex_, password_, password, true);
}

// PasswordCredential.RetrievePassword: "Populates the password for the
// credential. After the operation returns successfully, you can get the
// password from the Password property." The vault's entry is read again;
// one removed since fails as a missing entry does (0x80070490).
HRESULT Credential::RetrievePassword() {
  HRESULT failure = state::Failure("vault.retrieve_password");
  if (FAILED(failure)) return failure;
  std::wstring resource;
  std::wstring user_name;
  {
    std::lock_guard lock(mutex_);
    if (!from_vault_) return S_OK;
    resource = resource_;
    user_name = user_name_;
  }
  std::string wanted_resource = ToUtf8(resource);
  std::string wanted_user = ToUtf8(user_name);
  std::vector<VaultEntry> entries;
  {
    state::Lock lock;
    entries = state::ReadVault();
  }
  HRESULT result = kNotFound;
  for (VaultEntry& entry : entries) {
    if (entry.resource == wanted_resource && entry.user_name == wanted_user) {
      std::wstring password = FromUtf8(entry.password);
      std::lock_guard lock(mutex_);
      Wipe(password_);
      password_ = std::move(password);
      result = S_OK;
    }
    Wipe(entry.password);
  }
  return result;
}

// Properties is an IPropertySet nothing here reads.
HRESULT Credential::get_Properties(IInspectable** value) {
  if (value == nullptr) return E_POINTER;
  *value = nullptr;
  return E_NOTIMPL;
}

}  // namespace quillmar::standin
