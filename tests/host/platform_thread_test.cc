// The engine's platform thread through the stand-in's thread API, and the
// apartment backend that stands on it.
#include <gtest/gtest.h>
#include <quillmar_host_threads.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/include/host_engine.h"
#include "platform/apartment.h"
#include "platform/service_registry.h"

namespace quillmar::host {
namespace {

QuillmarHostThreadRef PlatformThreadOf(HostEngine& engine) {
  QuillmarHostThreadRef thread = nullptr;
  engine.RunSync([&] { thread = QuillmarHostCurrentPlatformThread(); });
  return thread;
}

void AppendNumber(void* data) {
  auto* item = static_cast<std::pair<std::vector<int>*, int>*>(data);
  item->first->push_back(item->second);
  delete item;
}

TEST(PlatformThreadTest, OnlyThePlatformThreadIsCurrent) {
  HostEngine engine;
  EXPECT_EQ(QuillmarHostCurrentPlatformThread(), nullptr);
  QuillmarHostThreadRef thread = PlatformThreadOf(engine);
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(QuillmarHostThreadIsCurrent(thread));
  bool current_there = false;
  engine.RunSync([&] { current_there = QuillmarHostThreadIsCurrent(thread); });
  EXPECT_TRUE(current_there);
  EXPECT_FALSE(engine.IsPlatformThread());
  QuillmarHostThreadRelease(thread);
}

TEST(PlatformThreadTest, PostedTasksRunInOrderOnThePlatformThread) {
  HostEngine engine;
  QuillmarHostThreadRef thread = PlatformThreadOf(engine);
  std::vector<int> order;  // touched only on the platform thread until RunSync returns
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(QuillmarHostThreadPost(thread, AppendNumber, new std::pair(&order, i)));
  }
  engine.RunSync([] {});
  std::vector<int> expected(200);
  for (int i = 0; i < 200; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
  QuillmarHostThreadRelease(thread);
}

TEST(PlatformThreadTest, StoppingRunsWhatIsQueuedThenRefusesPosts) {
  std::vector<int> order;
  QuillmarHostThreadRef thread = nullptr;
  {
    HostEngine engine;
    thread = PlatformThreadOf(engine);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    engine.Post([released] { released.wait(); });
    for (int i = 0; i < 50; ++i) {
      ASSERT_TRUE(QuillmarHostThreadPost(thread, AppendNumber, new std::pair(&order, i)));
    }
    release.set_value();
  }
  EXPECT_EQ(order.size(), 50u);
  int ran = 0;
  EXPECT_FALSE(QuillmarHostThreadPost(
      thread, [](void* data) { ++*static_cast<int*>(data); }, &ran));
  EXPECT_EQ(ran, 0);
  QuillmarHostThreadRelease(thread);
}

// Racing posts against the engine's destruction: a post that is accepted
// always runs, so nobody waiting for a posted task can hang.
TEST(PlatformThreadTest, EveryAcceptedPostRunsWhileTheEngineStops) {
  auto engine = std::make_unique<HostEngine>();
  QuillmarHostThreadRef thread = PlatformThreadOf(*engine);
  std::atomic<int> accepted{0};
  std::atomic<int> ran{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t) {
    posters.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      for (;;) {
        bool posted = QuillmarHostThreadPost(
            thread, [](void* data) { static_cast<std::atomic<int>*>(data)->fetch_add(1); }, &ran);
        if (!posted) return;
        accepted.fetch_add(1);
      }
    });
  }
  go.store(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  engine.reset();
  for (std::thread& poster : posters) poster.join();
  EXPECT_GT(accepted.load(), 0);
  EXPECT_EQ(ran.load(), accepted.load());
  QuillmarHostThreadRelease(thread);
}

TEST(PlatformThreadTest, RunSyncPassesOnWhatTheTaskThrows) {
  HostEngine engine;
  EXPECT_THROW(engine.RunSync([] { throw std::runtime_error("task failed"); }), std::runtime_error);
  bool ran = false;
  EXPECT_TRUE(engine.RunSync([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

// On Windows COM makes the apartments; its backend has tests of its own.
#if !defined(_WIN32)
TEST(PlatformThreadTest, PlatformThreadIsTheSingleThreadedApartment) {
  auto engine = std::make_unique<HostEngine>();
  platform::Apartment& apartment = platform::Current<platform::Apartment>();
  std::shared_ptr<platform::ObjectContext> context;
  platform::ApartmentType type = platform::ApartmentType::kMultiThreaded;
  engine->RunSync([&] {
    context = apartment.CaptureContext();
    apartment.QueryApartmentType(&type);
  });
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(type, platform::ApartmentType::kMainSingleThreaded);
  EXPECT_EQ(apartment.CaptureContext(), nullptr);

  std::thread::id entered_on;
  std::thread::id platform_id;
  engine->RunSync([&] { platform_id = std::this_thread::get_id(); });
  EXPECT_EQ(context->Enter([&] { entered_on = std::this_thread::get_id(); }), platform::kSOk);
  EXPECT_EQ(entered_on, platform_id);

  // Once the engine is gone, entering fails at once instead of waiting.
  engine.reset();
  bool ran = false;
  EXPECT_NE(context->Enter([&] { ran = true; }), platform::kSOk);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(context->IsCurrent());
}
#endif  // !_WIN32

}  // namespace
}  // namespace quillmar::host
