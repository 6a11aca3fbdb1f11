#include "common/awaiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/fake/fake_apartment.h"
#include "platform/platform_error.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"

namespace quillmar {
namespace {

using platform::ApartmentType;
using platform::AsyncOperation;
using platform::PlatformError;
using platform::fake::FakeApartment;
using platform::fake::FakeMtaContext;
using platform::fake::FakeStaThread;
using Operation = std::shared_ptr<AsyncOperation<int>>;

constexpr auto kPatience = std::chrono::seconds(10);

// What one awaiting task saw when it went on after its wait.
class Trace {
 public:
  void Finish(std::optional<int> value, std::optional<platform::HResult> raised) {
    std::lock_guard lock(mutex_);
    value_ = value;
    raised_ = raised;
    thread_ = std::this_thread::get_id();
    done_ = true;
    changed_.notify_all();
  }
  bool done() const {
    std::lock_guard lock(mutex_);
    return done_;
  }
  bool Wait() const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [this] { return done_; });
  }
  std::optional<int> value() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  std::optional<platform::HResult> raised() const {
    std::lock_guard lock(mutex_);
    return raised_;
  }
  std::thread::id thread() const {
    std::lock_guard lock(mutex_);
    return thread_;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool done_ = false;
  std::optional<int> value_;
  std::optional<platform::HResult> raised_;
  std::thread::id thread_;
};

DetachedTask AwaitOperation(Operation operation, Trace* trace) {
  std::optional<int> value;
  std::optional<platform::HResult> raised;
  try {
    value = co_await operation;
  } catch (const PlatformError& error) {
    raised = error.code();
  }
  trace->Finish(value, raised);
}

// A pool of one worker thread that counts its jobs and can refuse them.
class OneThreadPool : public platform::ThreadPool {
 public:
  OneThreadPool() : worker_([this] { Run(); }) {}
  ~OneThreadPool() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  bool Submit(std::function<void()> work) override {
    {
      std::lock_guard lock(mutex_);
      if (refuse_) return false;
      ++submissions_;
      queue_.push_back(std::move(work));
    }
    changed_.notify_all();
    return true;
  }
  bool SubmitAfter(std::chrono::milliseconds, std::function<void()>) override { return false; }

  std::thread::id id() const { return worker_.get_id(); }
  int submissions() const {
    std::lock_guard lock(mutex_);
    return submissions_;
  }
  void set_refuse(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
  }

 private:
  void Run() {
    for (;;) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      work();
    }
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  bool refuse_ = false;
  int submissions_ = 0;
  std::thread worker_;
};

class AwaiterTest : public ::testing::Test {
 protected:
  // Starts a task awaiting `operation` on `sta`; returns once it waits (or ended).
  void StartOn(FakeStaThread* sta, const Operation& operation, Trace* trace) {
    sta->RunAndWait([&] { AwaitOperation(operation, trace); });
  }
  // Starts a task awaiting `operation` on this thread, in a context of the
  // multithreaded apartment.
  void StartInMultithreadedContext(const Operation& operation, Trace* trace) {
    auto mta = std::make_shared<FakeMtaContext>(&apartment_);
    apartment_.Join(mta, ApartmentType::kMultiThreaded);
    AwaitOperation(operation, trace);
    apartment_.Leave();
  }
  // Completes `operation` with 7 on a new thread that is in no apartment.
  std::thread::id CompleteOnNewThread(const Operation& operation) {
    std::thread completer([&] { operation->Complete(7); });
    std::thread::id id = completer.get_id();
    completer.join();
    return id;
  }

  FakeApartment apartment_;
  OneThreadPool pool_;

 private:
  platform::ScopedOverride<platform::Apartment> apartment_override_{&apartment_};
  platform::ScopedOverride<platform::ThreadPool> pool_override_{&pool_};
};

enum class Ending { kCompleted, kFailed, kCanceled };

void End(AsyncOperation<int>& operation, Ending ending) {
  switch (ending) {
    case Ending::kCompleted:
      operation.Complete(7);
      return;
    case Ending::kFailed:
      operation.Fail(PlatformError(platform::kEAccessDenied));
      return;
    case Ending::kCanceled:
      operation.Cancel();
      return;
  }
}

void ExpectOutcome(const Trace& trace, Ending ending) {
  switch (ending) {
    case Ending::kCompleted:
      EXPECT_EQ(trace.value(), 7);
      EXPECT_EQ(trace.raised(), std::nullopt);
      return;
    case Ending::kFailed:
      EXPECT_EQ(trace.value(), std::nullopt);
      EXPECT_EQ(trace.raised(), platform::kEAccessDenied);
      return;
    case Ending::kCanceled:
      EXPECT_EQ(trace.value(), std::nullopt);
      EXPECT_EQ(trace.raised(), platform::kECanceled);
      return;
  }
}

class EndingTest : public AwaiterTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndingTest, OperationEndedBeforeTheWaitGoesOnWithoutSuspending) {
  auto operation = std::make_shared<AsyncOperation<int>>();
  End(*operation, GetParam());
  Trace trace;

  AwaitOperation(operation, &trace);

  ASSERT_TRUE(trace.done());
  EXPECT_EQ(trace.thread(), std::this_thread::get_id());
  ExpectOutcome(trace, GetParam());
  EXPECT_EQ(pool_.submissions(), 0);
}

TEST_P(EndingTest, OperationEndingLaterDeliversItsOutcomeOnResumption) {
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  AwaitOperation(operation, &trace);
  EXPECT_FALSE(trace.done());

  std::thread ender([&] { End(*operation, GetParam()); });
  ender.join();

  ASSERT_TRUE(trace.Wait());
  ExpectOutcome(trace, GetParam());
}

INSTANTIATE_TEST_SUITE_P(EachEnding, EndingTest,
                         ::testing::Values(Ending::kCompleted, Ending::kFailed, Ending::kCanceled));

TEST_F(AwaiterTest, WithoutACapturedContextTheTaskResumesOnTheCompletingThread) {
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  AwaitOperation(operation, &trace);

  std::thread::id completer = CompleteOnNewThread(operation);

  ASSERT_TRUE(trace.done());
  EXPECT_EQ(trace.thread(), completer);
  EXPECT_EQ(trace.value(), 7);
  EXPECT_EQ(pool_.submissions(), 0);
}

TEST_F(AwaiterTest, CompletionInsideTheCapturedContextResumesThereAtOnce) {
  auto sta = FakeStaThread::Start(&apartment_);
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(sta.get(), operation, &trace);

  sta->RunAndWait([&] { operation->Complete(7); });

  ASSERT_TRUE(trace.done());
  EXPECT_EQ(trace.thread(), sta->id());
  EXPECT_EQ(pool_.submissions(), 0);
}

TEST_F(AwaiterTest, MultithreadedContextResumesOnAPoolThread) {
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartInMultithreadedContext(operation, &trace);

  std::thread::id completer = CompleteOnNewThread(operation);

  ASSERT_TRUE(trace.Wait());
  EXPECT_EQ(trace.thread(), pool_.id());
  EXPECT_NE(trace.thread(), completer);
  EXPECT_EQ(pool_.submissions(), 1);
}

TEST_F(AwaiterTest, FailedApartmentQueryCountsAsMultithreaded) {
  auto sta = FakeStaThread::Start(&apartment_);
  apartment_.set_type_query_fails(true);
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(sta.get(), operation, &trace);

  CompleteOnNewThread(operation);

  ASSERT_TRUE(trace.Wait());
  EXPECT_EQ(trace.thread(), pool_.id());
}

TEST_F(AwaiterTest, RefusedPoolJobResumesOnTheCompletingThread) {
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartInMultithreadedContext(operation, &trace);
  pool_.set_refuse(true);

  std::thread::id completer = CompleteOnNewThread(operation);

  ASSERT_TRUE(trace.done());
  EXPECT_EQ(trace.thread(), completer);
}

class SingleThreadedCompleterTest : public AwaiterTest,
                                    public ::testing::WithParamInterface<ApartmentType> {};

// The captured thread stays busy until the completing thread has returned
// from Complete: had the completing thread entered the context itself, the
// two would wait for each other until the patience ran out.
TEST_P(SingleThreadedCompleterTest, PoolJobEntersTheCapturedContextWithoutBlockingTheCompleter) {
  auto captured = FakeStaThread::Start(&apartment_);
  auto completer = FakeStaThread::Start(&apartment_, GetParam());
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(captured.get(), operation, &trace);
  std::promise<void> completer_returned;
  std::future<void> returned = completer_returned.get_future();
  captured->Post([&] { returned.wait_for(kPatience); });

  completer->RunAndWait([&] {
    operation->Complete(7);
    completer_returned.set_value();
  });

  ASSERT_TRUE(trace.Wait());
  EXPECT_EQ(trace.thread(), captured->id());
  EXPECT_EQ(trace.value(), 7);
  EXPECT_EQ(pool_.submissions(), 1);
}

INSTANTIATE_TEST_SUITE_P(EachSingleThreadedKind, SingleThreadedCompleterTest,
                         ::testing::Values(ApartmentType::kSingleThreaded,
                                           ApartmentType::kMainSingleThreaded,
                                           ApartmentType::kNeutral));

TEST_F(AwaiterTest, MultithreadedCompleterEntersTheCapturedContextAndWaits) {
  auto sta = FakeStaThread::Start(&apartment_);
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(sta.get(), operation, &trace);

  CompleteOnNewThread(operation);

  ASSERT_TRUE(trace.done());  // Complete returned only after the task went on
  EXPECT_EQ(trace.thread(), sta->id());
  EXPECT_EQ(pool_.submissions(), 0);
}

TEST_F(AwaiterTest, CompleterWhoseApartmentQueryFailsEntersSynchronously) {
  auto sta = FakeStaThread::Start(&apartment_);
  auto completer = FakeStaThread::Start(&apartment_);
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(sta.get(), operation, &trace);
  apartment_.set_type_query_fails(true);

  completer->RunAndWait([&] { operation->Complete(7); });

  ASSERT_TRUE(trace.done());
  EXPECT_EQ(trace.thread(), sta->id());
  EXPECT_EQ(pool_.submissions(), 0);
}

struct EnterFailureRow {
  const char* name;
  bool completer_single_threaded;
};

class EnterFailureTest : public AwaiterTest,
                         public ::testing::WithParamInterface<EnterFailureRow> {};

TEST_P(EnterFailureTest, FailureToEnterIsRaisedWhenTheTaskResumes) {
  auto sta = FakeStaThread::Start(&apartment_);
  auto completer = FakeStaThread::Start(&apartment_);
  auto operation = std::make_shared<AsyncOperation<int>>();
  Trace trace;
  StartOn(sta.get(), operation, &trace);
  sta->FailEnter(platform::kRpcEDisconnected);

  std::thread::id completing_thread;
  if (GetParam().completer_single_threaded) {
    completer->RunAndWait([&] { operation->Complete(7); });
    completing_thread = pool_.id();
  } else {
    completing_thread = CompleteOnNewThread(operation);
  }

  ASSERT_TRUE(trace.Wait());
  EXPECT_EQ(trace.raised(), platform::kRpcEDisconnected);
  EXPECT_EQ(trace.value(), std::nullopt);
  EXPECT_EQ(trace.thread(), completing_thread);
}

INSTANTIATE_TEST_SUITE_P(BothEnteringRules, EnterFailureTest,
                         ::testing::Values(EnterFailureRow{"FromThePool", true},
                                           EnterFailureRow{"FromTheCompleter", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AwaiterTest, CompletionRacingRegistrationContinuesTheTaskExactlyOnce) {
  for (int round = 0; round < 200; ++round) {
    auto operation = std::make_shared<AsyncOperation<int>>();
    Trace trace;
    std::thread completer([&] { operation->Complete(round); });
    AwaitOperation(operation, &trace);
    completer.join();
    ASSERT_TRUE(trace.Wait());
    EXPECT_EQ(trace.value(), round);
  }
}

}  // namespace
}  // namespace quillmar
