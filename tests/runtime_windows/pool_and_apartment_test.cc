// The Win32 thread pool and the COM apartment service, on the real system.
// Entering another apartment's context is a stub in Wine 8; what runs here
// is the part that does not need it.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/apartment.h"
#include "platform/service_registry.h"
#include "platform/thread_pool.h"

namespace quillmar {
namespace {

using platform::ApartmentType;
using platform::Current;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

platform::ThreadPool& Pool() { return Current<platform::ThreadPool>(); }
platform::Apartment& Apartments() { return Current<platform::Apartment>(); }

TEST(Win32ThreadPoolTest, RunsWorkOnAPoolThread) {
  std::promise<std::thread::id> ran;
  ASSERT_TRUE(Pool().Submit([&] { ran.set_value(std::this_thread::get_id()); }));
  std::future<std::thread::id> thread = ran.get_future();
  ASSERT_EQ(thread.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_NE(thread.get(), std::this_thread::get_id());
}

TEST(Win32ThreadPoolTest, DelayedWorkWaitsForItsDelayAndEachRunsOnce) {
  constexpr milliseconds kDelays[] = {milliseconds(300), milliseconds(0), milliseconds(120)};
  struct Run {
    std::promise<steady_clock::time_point> at;
    std::atomic<int> times{0};
  };
  std::vector<std::unique_ptr<Run>> runs;
  steady_clock::time_point submitted = steady_clock::now();
  for (milliseconds delay : kDelays) {
    runs.push_back(std::make_unique<Run>());
    Run* run = runs.back().get();
    ASSERT_TRUE(Pool().SubmitAfter(delay, [run] {
      if (run->times.fetch_add(1) == 0) run->at.set_value(steady_clock::now());
    }));
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    std::future<steady_clock::time_point> at = runs[i]->at.get_future();
    ASSERT_EQ(at.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // The pool's timer may fire a little early by the steady clock's count.
    EXPECT_GE(at.get() - submitted, kDelays[i] - milliseconds(20)) << "delay " << i;
  }
  std::this_thread::sleep_for(milliseconds(100));
  for (const auto& run : runs) EXPECT_EQ(run->times.load(), 1);
}

TEST(Win32ThreadPoolTest, WorkThatThrowsStaysInThePool) {
  ASSERT_TRUE(Pool().Submit([] { throw 1; }));
  ASSERT_TRUE(Pool().SubmitAfter(milliseconds(1), [] { throw 2; }));
  std::promise<void> later;
  ASSERT_TRUE(Pool().Submit([&] { later.set_value(); }));
  EXPECT_EQ(later.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

// Runs `body` on a new thread in the apartment `model` (a COINIT value).
void InApartment(DWORD model, const std::function<void()>& body) {
  std::thread thread([&] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, model)));
    body();
    CoUninitialize();
  });
  thread.join();
}

TEST(ComApartmentTest, ReportsTheKindOfTheCallingThreadsApartment) {
  InApartment(COINIT_APARTMENTTHREADED, [] {
    ApartmentType type = ApartmentType::kMultiThreaded;
    ASSERT_TRUE(Apartments().QueryApartmentType(&type));
    EXPECT_TRUE(type == ApartmentType::kSingleThreaded ||
                type == ApartmentType::kMainSingleThreaded);
  });
  InApartment(COINIT_MULTITHREADED, [] {
    ApartmentType type = ApartmentType::kSingleThreaded;
    ASSERT_TRUE(Apartments().QueryApartmentType(&type));
    EXPECT_EQ(type, ApartmentType::kMultiThreaded);
  });
}

TEST(ComApartmentTest, ACapturedContextIsCurrentOnlyInItsApartment) {
  std::shared_ptr<platform::ObjectContext> single_threaded;
  InApartment(COINIT_APARTMENTTHREADED, [&] {
    single_threaded = Apartments().CaptureContext();
    ASSERT_NE(single_threaded, nullptr);
    EXPECT_TRUE(single_threaded->IsCurrent());
    bool ran = false;
    EXPECT_EQ(single_threaded->Enter([&] { ran = true; }), platform::kSOk);
    EXPECT_TRUE(ran);
  });
  ASSERT_NE(single_threaded, nullptr);
  InApartment(COINIT_APARTMENTTHREADED, [&] { EXPECT_FALSE(single_threaded->IsCurrent()); });
  InApartment(COINIT_MULTITHREADED, [&] {
    EXPECT_FALSE(single_threaded->IsCurrent());
    std::shared_ptr<platform::ObjectContext> multithreaded = Apartments().CaptureContext();
    ASSERT_NE(multithreaded, nullptr);
    EXPECT_TRUE(multithreaded->IsCurrent());
  });
}

}  // namespace
}  // namespace quillmar
