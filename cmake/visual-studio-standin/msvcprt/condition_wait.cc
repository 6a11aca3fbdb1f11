// _Cnd_timedwait_for_unchecked, which condition_variable::wait_for calls:
// Microsoft's static msvcprt.lib gives it over the STL's own layout of the
// mutex and condition variable, but those objects are made by
// msvcp140.dll (_Mtx_init_in_situ, _Cnd_init_in_situ) in the DLL's layout,
// so the wait goes through the DLL's own _Cnd_timedwait with the deadline
// as the DLL reads it (system time in 100 ns ticks since 1970). A wait may
// end early; the caller checks its clock, as "unchecked" allows.
#include <xthreads.h>
#include <xtimec.h>

namespace {

struct Deadline {
  long long seconds;
  long nanoseconds;
};

}  // namespace

extern "C" __declspec(dllimport) _Thrd_result
    __cdecl _Cnd_timedwait(_Cnd_t condition, _Mtx_t mutex, const Deadline* deadline);

extern "C" _Thrd_result __stdcall _Cnd_timedwait_for_unchecked(_Cnd_t condition, _Mtx_t mutex,
                                                               unsigned int milliseconds) noexcept {
  constexpr long long kTicksPerSecond = 10'000'000;
  const long long ticks = _Xtime_get_ticks() + static_cast<long long>(milliseconds) * 10'000;
  const Deadline deadline{ticks / kTicksPerSecond,
                          static_cast<long>(ticks % kTicksPerSecond) * 100};
  return _Cnd_timedwait(condition, mutex, &deadline);
}
