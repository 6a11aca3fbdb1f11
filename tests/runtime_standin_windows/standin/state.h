// The stand-in's state files, as the DLL reads and writes them: the
// script's values, the record and the vault. Shared with control.cc's test
// side (control.h). Every file of the state folder is read and written under
// one named mutex of the stand-in's own, so processes of the prefix take
// turns; files are replaced whole (a temporary, then a move), so a process
// killed mid-write leaves the old file or the new one.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control.h"

namespace quillmar::standin::state {

// Holds the state folder's mutex for its lifetime; an owner that died
// holding it leaves it to the next (WAIT_ABANDONED counts as acquired).
class Lock {
 public:
  Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock();

 private:
  HANDLE mutex_;
};

// Whether the folder holds a script (the stand-in is switched on).
bool SwitchedOn();

// The script's value of `key`, if set.
std::optional<std::string> ScriptValue(std::string_view key);
// The value as a number (decimal, or hexadecimal after 0x), or `fallback`.
long long ScriptNumber(std::string_view key, long long fallback);
// The HRESULT `fail.<step>` names, S_OK when none.
HRESULT Failure(std::string_view step);

// The hold of `step` ("hold.<step>", control.h): counts this call down
// and, when it is the one, signals that it holds and waits for Release().
// Called after the step's work, before it answers.
void Hold(std::string_view step);

// Appends one line to the record; line ends and backslashes in `line` are
// written as \n, \r and \\.
void Record(std::string_view line);

// The vault's entries, sorted by resource then user name. Callers that
// read, change and write hold a Lock around all three.
std::vector<VaultEntry> ReadVault();
void WriteVault(std::vector<VaultEntry> entries);

// Text of a line: \, CR, LF and TAB escaped, so a line holds one value.
std::string Escape(std::string_view text);
std::string Unescape(std::string_view text);

}  // namespace quillmar::standin::state
