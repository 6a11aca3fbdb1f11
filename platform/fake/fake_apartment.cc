#include "platform/fake/fake_apartment.h"

namespace quillmar::platform::fake {

void FakeApartment::Join(std::weak_ptr<ObjectContext> context, ApartmentType type) {
  std::lock_guard lock(mutex_);
  members_[std::this_thread::get_id()] = {std::move(context), type};
}

void FakeApartment::Leave() {
  std::lock_guard lock(mutex_);
  members_.erase(std::this_thread::get_id());
}

void FakeApartment::set_type_query_fails(bool fails) {
  std::lock_guard lock(mutex_);
  type_query_fails_ = fails;
}

std::shared_ptr<ObjectContext> FakeApartment::CaptureContext() {
  std::lock_guard lock(mutex_);
  auto member = members_.find(std::this_thread::get_id());
  return member == members_.end() ? nullptr : member->second.context.lock();
}

bool FakeApartment::QueryApartmentType(ApartmentType* type) {
  std::lock_guard lock(mutex_);
  if (type_query_fails_) return false;
  auto member = members_.find(std::this_thread::get_id());
  *type = member == members_.end() ? ApartmentType::kMultiThreaded : member->second.type;
  return true;
}

std::shared_ptr<FakeStaThread> FakeStaThread::Start(FakeApartment* apartment, ApartmentType type) {
  std::shared_ptr<FakeStaThread> sta(new FakeStaThread());
  sta->thread_ = std::make_unique<base::TaskThread>(base::TaskThread::Hooks{
      .begin = [apartment, type, weak = sta->weak_from_this()] { apartment->Join(weak, type); },
      .end = [apartment] { apartment->Leave(); },
      .failed = nullptr});
  // Returns once the thread has joined the apartment.
  sta->thread_->RunAndWait([] {});
  return sta;
}

FakeStaThread::~FakeStaThread() { Stop(); }

void FakeStaThread::Stop() { thread_->Stop(); }

bool FakeStaThread::RunAndWait(std::function<void()> work) { return thread_->RunAndWait(work); }

void FakeStaThread::FailEnter(HResult code) {
  std::lock_guard lock(mutex_);
  enter_failure_ = code;
}

bool FakeStaThread::IsCurrent() const { return thread_->IsCurrent(); }

HResult FakeStaThread::Enter(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (enter_failure_ != kSOk) return enter_failure_;
  }
  return RunAndWait(std::move(work)) ? kSOk : kRpcEDisconnected;
}

bool FakeStaThread::Post(std::function<void()> work) { return thread_->Post(std::move(work)); }

bool FakeMtaContext::IsCurrent() const { return apartment_->CaptureContext().get() == this; }

HResult FakeMtaContext::Enter(std::function<void()> work) {
  work();
  return kSOk;
}

bool FakeMtaContext::Post(std::function<void()>) { return false; }

}  // namespace quillmar::platform::fake
