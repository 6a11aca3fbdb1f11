// Thread-safe initialisation of function-local statics, as the compiler
// emits it for Microsoft's ABI: a guard of 0 is "not yet", -1 "being
// initialised by some thread", anything else the epoch at which it was
// done. A thread whose own epoch is older than a guard takes the lock once
// to see the initialised object; the others wait for the initialising
// thread to finish or give up.
#include <limits.h>
#include <windows.h>

int _Init_global_epoch = INT_MIN;
__declspec(thread) int _Init_thread_epoch = INT_MIN;

static SRWLOCK statics_lock = SRWLOCK_INIT;
static CONDITION_VARIABLE statics_done = CONDITION_VARIABLE_INIT;

void __cdecl _Init_thread_header(int* guard) {
  AcquireSRWLockExclusive(&statics_lock);
  for (;;) {
    if (*guard == 0) {
      *guard = -1;
      break;
    }
    if (*guard != -1) {
      _Init_thread_epoch = _Init_global_epoch;
      break;
    }
    SleepConditionVariableSRW(&statics_done, &statics_lock, INFINITE, 0);
  }
  ReleaseSRWLockExclusive(&statics_lock);
}

void __cdecl _Init_thread_footer(int* guard) {
  AcquireSRWLockExclusive(&statics_lock);
  *guard = ++_Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&statics_lock);
  WakeAllConditionVariable(&statics_done);
}

void __cdecl _Init_thread_abort(int* guard) {
  AcquireSRWLockExclusive(&statics_lock);
  *guard = 0;
  ReleaseSRWLockExclusive(&statics_lock);
  WakeAllConditionVariable(&statics_done);
}
