// The other process of the vault turn tests: takes the vault's turn, sets
// the event Local\QuillmarTurnTaken and keeps the turn until the event
// Local\QuillmarTurnRelease is set. Killed before that, it abandons it.
#include <windows.h>

int main() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\QuillmarVaultTurn");
  HANDLE taken = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\QuillmarTurnTaken");
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, L"Local\\QuillmarTurnRelease");
  if (mutex == nullptr || taken == nullptr || release == nullptr ||
      WaitForSingleObject(mutex, INFINITE) == WAIT_FAILED) {
    return 2;
  }
  SetEvent(taken);
  WaitForSingleObject(release, INFINITE);
  ReleaseMutex(mutex);
  return 0;
}
