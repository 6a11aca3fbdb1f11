#include "platform/fake/fake_apartment.h"

#include <future>

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
  auto joined = std::make_shared<std::promise<void>>();
  std::future<void> ready = joined->get_future();
  sta->thread_ = std::thread([raw = sta.get(), apartment, type, joined] {
    apartment->Join(raw->weak_from_this(), type);
    joined->set_value();
    raw->Run(apartment);
  });
  ready.wait();
  return sta;
}

FakeStaThread::~FakeStaThread() { Stop(); }

void FakeStaThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool FakeStaThread::RunAndWait(std::function<void()> work) {
  if (IsCurrent()) {
    work();
    return true;
  }
  // Shared, so that neither side outlives the promise it touches.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  if (!Post([work = std::move(work), done] {
        work();
        done->set_value();
      })) {
    return false;
  }
  finished.wait();
  return true;
}

void FakeStaThread::FailEnter(HResult code) {
  std::lock_guard lock(mutex_);
  enter_failure_ = code;
}

bool FakeStaThread::IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

HResult FakeStaThread::Enter(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (enter_failure_ != kSOk) return enter_failure_;
  }
  return RunAndWait(std::move(work)) ? kSOk : kRpcDisconnected;
}

bool FakeStaThread::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    queue_.push_back(std::move(work));
  }
  changed_.notify_all();
  return true;
}

void FakeStaThread::Run(FakeApartment* apartment) {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) break;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
  apartment->Leave();
}

bool FakeMtaContext::IsCurrent() const { return apartment_->CaptureContext().get() == this; }

HResult FakeMtaContext::Enter(std::function<void()> work) {
  work();
  return kSOk;
}

bool FakeMtaContext::Post(std::function<void()>) { return false; }

}  // namespace quillmar::platform::fake
