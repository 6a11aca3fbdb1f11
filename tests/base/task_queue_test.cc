#include "base/task_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <vector>

namespace quillmar::base {
namespace {

TEST(TaskThreadTest, RunsTasksInOrderAndDrainsTheAcceptedOnesOnStop) {
  std::vector<int> ran;  // touched on the thread only, read after the join
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  TaskThread thread;
  ASSERT_TRUE(thread.Post([released] { released.wait(); }));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(thread.Post([&ran, i] { ran.push_back(i); }));
  std::thread stopper([&thread] { thread.Stop(); });
  // Stop refuses new tasks at once but lets the five queued ones run.
  while (thread.Post([] {})) std::this_thread::yield();
  release.set_value();
  stopper.join();
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_FALSE(thread.RunAndWait([] {}));
}

TEST(TaskThreadTest, RunAndWaitRethrowsOnTheCallerAndRunsAtOnceOnTheThread) {
  TaskThread thread;
  // Each handler reads its failure after unwinding released the waiter's
  // future, the outer one after a second failure was handled inside it.
  try {
    thread.RunAndWait([] { throw std::runtime_error("task failed"); });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& failure) {
    try {
      thread.RunAndWait([] { throw std::runtime_error("second task failed"); });
    } catch (const std::runtime_error& second) {
      EXPECT_STREQ(second.what(), "second task failed");
    }
    EXPECT_STREQ(failure.what(), "task failed");
  }
  bool nested_ran_inline = false;
  ASSERT_TRUE(thread.RunAndWait([&] {
    EXPECT_TRUE(thread.IsCurrent());
    // Waiting for its own queue would deadlock; it runs inline instead.
    thread.RunAndWait([&] { nested_ran_inline = true; });
  }));
  EXPECT_TRUE(nested_ran_inline);
  EXPECT_FALSE(thread.IsCurrent());
}

TEST(TaskThreadTest, HooksFrameTheTasksAndAFailureIsReportedOnTheThread) {
  std::atomic<int> failures{0};
  std::vector<std::string> events;
  {
    TaskThread thread({.begin = [&] { events.push_back("begin"); },
                       .end = [&] { events.push_back("end"); },
                       .failed = [&] { ++failures; }});
    thread.Post([] { throw 7; });
    thread.Post([&] { events.push_back("task"); });
  }
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "task", "end"}));
  EXPECT_EQ(failures, 1);
}

TEST(TaskThreadTest, StopFromOwnTaskEndsAfterThatTaskEvenIfTheObjectGoes) {
  std::promise<void> ended;
  std::future<void> thread_ended = ended.get_future();
  auto thread = std::make_unique<TaskThread>(TaskThread::Hooks{
      .begin = nullptr, .end = [&ended] { ended.set_value(); }, .failed = nullptr});
  ASSERT_TRUE(thread->RunAndWait([&] { thread->Stop(); }));
  thread.reset();
  EXPECT_EQ(thread_ended.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace quillmar::base
