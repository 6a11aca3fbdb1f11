#include "host/host_thread.h"
#include "host/report.h"

namespace quillmar::host {
namespace {

thread_local HostThread* current_thread = nullptr;

}  // namespace

HostThread::HostThread()
    : thread_(
          {.begin = [this] { current_thread = this; },
           // The loop's reference goes last; it may destroy this object.
           .end =
               [this] {
                 current_thread = nullptr;
                 Release();
               },
           .failed = [] { ReportHostProblem("a task on the platform thread threw; ignored"); }}) {}

HostThread* HostThread::Start() { return new HostThread(); }

void HostThread::AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }

void HostThread::Release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

HostThread* HostThread::Current() { return current_thread; }

bool HostThread::IsCurrent() const { return current_thread == this; }

bool HostThread::Post(std::function<void()> task) { return thread_.Post(std::move(task)); }

bool HostThread::RunSync(const std::function<void()>& task) { return thread_.RunAndWait(task); }

void HostThread::Stop() { thread_.Stop(); }

}  // namespace quillmar::host
