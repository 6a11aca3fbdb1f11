// The password vault (PasswordVault and PasswordCredential): entries named by
// a resource and a user name, each holding one password. Every call may be
// made from any thread and blocks until the store has answered; entries are
// shared with the other processes of the same user.
#pragma once

#include <chrono>
#include <functional>

#include "platform/platform_error.h"
#include "platform/platform_string.h"

namespace quillmar::platform {

// The vault's calls of all of this user's processes take turns (see the
// backends). A call waits for its turn at most this long, asked just before
// it waits, and then raises VaultBusyError, having changed nothing. A
// service of its own so that tests can shorten the wait.
class VaultTurnWait {
 public:
  virtual ~VaultTurnWait() = default;
  virtual std::chrono::milliseconds Limit() = 0;
};

// ERROR_TIMEOUT as an HRESULT: the turn did not come within the limit.
inline constexpr HResult kVaultBusy = static_cast<HResult>(0x800705B4);
// The error of a call whose turn did not come: another process holds the vault.
PlatformError VaultBusyError();

struct PasswordCredential {
  PlatformString resource;
  PlatformString user_name;
  PlatformString password;  // empty until RetrievePassword has read it
};

class PasswordVault {
 public:
  virtual ~PasswordVault() = default;

  // Creates the vault object that one operation works on. Raises a
  // PlatformError when no vault can be created.
  virtual void Open() = 0;

  // The entry named (resource, user_name), its password not yet read. Raises
  // kENotFound when there is none, and a PlatformError whose message names
  // the cause when the store cannot be reached or is locked.
  virtual PasswordCredential Retrieve(const PlatformString& resource,
                                      const PlatformString& user_name) = 0;

  // Reads the entry's password into credential->password. Raises kENotFound
  // when the entry has gone, other errors as Retrieve.
  virtual void RetrievePassword(PasswordCredential* credential) = 0;

  // Stores the entry. An entry of the same resource and user name is
  // replaced in place: at every moment the vault holds the old password or
  // the new one, never neither, and an Add that fails leaves the old entry as
  // it was. PasswordVault.Add replaces an existing entry so; the handlers
  // rely on it and never remove an entry before its successor is stored.
  // Raises a PlatformError when it cannot be stored.
  virtual void Add(const PasswordCredential& credential) = 0;

  // Stores the entry only where the vault holds none of that resource and
  // user name and `wanted`, asked after that look, still answers true; never
  // replaces an entry. False, changing nothing, otherwise. Raises as Add.
  // `wanted` must not call the vault. This default looks, asks and then
  // adds, so a writer or remover of another process can slip in between; a
  // backend that can take the three as one step, in turn with its Retrieve
  // and its writes, overrides it.
  virtual bool AddIfMissing(const PasswordCredential& credential,
                            const std::function<bool()>& wanted) {
    try {
      Retrieve(credential.resource, credential.user_name);
      return false;
    } catch (const PlatformError& error) {
      if (error.code() != kENotFound) throw;
    }
    if (!wanted()) return false;
    Add(credential);
    return true;
  }

  // Removes the entry named by credential's resource and user name. Raises
  // kENotFound when there is none, other errors as Retrieve.
  virtual void Remove(const PasswordCredential& credential) = 0;

  // Runs `steps` inside one turn, so that a step of another store taken with
  // the vault's own is done only when the turn is had. Raises VaultBusyError,
  // `steps` not run, when the turn does not come; the vault's calls inside
  // take no second turn. This default has no turns and just runs `steps`.
  virtual void InTurn(const std::function<void()>& steps) { steps(); }
};

}  // namespace quillmar::platform
