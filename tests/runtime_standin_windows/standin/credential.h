// PasswordCredential: a resource, a user name and a password. Made by its
// factory (ICredentialFactory) or handed out by the vault. Any thread may
// use it; the mutex guards the three texts.
#pragma once

#include <security_credentials.h>

#include <mutex>
#include <string>

#include "object.h"

namespace quillmar::standin {

namespace credentials = ABI::Windows::Security::Credentials;

class Credential final : public Object<credentials::IPasswordCredential, IAgileObject> {
 public:
  // `from_vault`: handed out by the vault, so RetrievePassword reads the
  // vault's entry.
  Credential(std::wstring resource, std::wstring user_name, std::wstring password, bool from_vault);

  HRESULT STDMETHODCALLTYPE get_Resource(HSTRING* resource) override;
  HRESULT STDMETHODCALLTYPE put_Resource(HSTRING resource) override;
  HRESULT STDMETHODCALLTYPE get_UserName(HSTRING* user_name) override;
  HRESULT STDMETHODCALLTYPE put_UserName(HSTRING user_name) override;
  HRESULT STDMETHODCALLTYPE get_Password(HSTRING* password) override;
  HRESULT STDMETHODCALLTYPE put_Password(HSTRING password) override;
  HRESULT STDMETHODCALLTYPE RetrievePassword() override;
  HRESULT STDMETHODCALLTYPE get_Properties(IInspectable** value) override;

 protected:
  ~Credential() override;
  const wchar_t* ClassName() const override {
    return L"Windows.Security.Credentials.PasswordCredential";
  }

 private:
  std::mutex mutex_;
  std::wstring resource_;
  std::wstring user_name_;
  std::wstring password_;
  bool from_vault_;
};

// Wipes a string that held a password.
void Wipe(std::wstring& text);
void Wipe(std::string& text);

}  // namespace quillmar::standin
