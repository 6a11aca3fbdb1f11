// What <future> names of Microsoft's closed-source task library: std::async
// runs its work as a Concurrency::task. Declarations only; nothing defines
// them here, so a build that links std::async needs the real library.
#pragma once

#include <type_traits>

namespace Concurrency {

template <class Result>
class task {
 public:
  task() noexcept;
  task(const task& other);
  task& operator=(const task& other);
  ~task();
  void wait() const;
};

template <class Function>
task<std::invoke_result_t<Function>> create_task(Function function);

}  // namespace Concurrency
