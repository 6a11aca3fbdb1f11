// A thread's message loop as a work queue (CaptureMessageLoop): posts after
// its end, messages forged by someone else, and work pending when it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/apartment.h"
#include "platform/service_registry.h"

namespace quillmar {
namespace {

// A thread with a message loop, and its queue; the loop runs until WM_QUIT
// or until a work item tells it to leave.
class LoopThread {
 public:
  LoopThread() {
    // Shared: set_value may still be under way when get() returns.
    auto made = std::make_shared<std::promise<std::shared_ptr<platform::WorkQueue>>>();
    thread_ = std::thread([made, this] {
      id_ = GetCurrentThreadId();
      made->set_value(platform::Current<platform::Apartment>().CaptureMessageLoop());
      MSG message;
      while (!leave_loop && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    });
    queue = made->get_future().get();
  }
  ~LoopThread() { End(); }
  void End() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    if (thread_.joinable()) thread_.join();
  }

  std::shared_ptr<platform::WorkQueue> queue;
  bool leave_loop = false;  // set on the loop's thread: it leaves with messages queued

 private:
  DWORD id_ = 0;
  std::thread thread_;
};

TEST(MessageLoopQueueTest, RefusesPostsAfterItsThreadEnded) {
  LoopThread loop;
  loop.End();
  auto work = std::make_shared<int>(0);
  EXPECT_FALSE(loop.queue->Post([work] { *work = 1; }));
  EXPECT_EQ(work.use_count(), 1) << "refused work is released at once";
  EXPECT_EQ(platform::EnterThroughQueue(*loop.queue, [work] { *work = 1; }),
            platform::kRpcEDisconnected);
  EXPECT_EQ(*work, 0);
}

// Another program finds the window and posts to it numbers the queue never
// gave out, and a close; the queue goes on.
TEST(MessageLoopQueueTest, IgnoresForgedMessages) {
  LoopThread loop;
  HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"QuillmarMessageLoopContext", nullptr);
  ASSERT_NE(window, nullptr);
  std::thread([window] {
    for (LPARAM forged : {LPARAM{1}, LPARAM{0x7ffe0000}, LPARAM{-1}, LPARAM{0}}) {
      for (UINT message : {UINT{WM_APP + 0x51}, UINT{WM_APP + 0x52}, UINT{WM_CLOSE}}) {
        PostMessageW(window, message, 0, forged);
      }
    }
  }).join();
  int runs = 0;
  EXPECT_EQ(platform::EnterThroughQueue(*loop.queue, [&runs] { ++runs; }), platform::kSOk);
  EXPECT_EQ(runs, 1);
}

// Work queued behind a busy item runs, in order, when the last reference
// goes: on the queue's thread, or after its thread has left its loop and
// ended.
class MessageLoopQueueTeardown : public testing::TestWithParam<bool> {};

TEST_P(MessageLoopQueueTeardown, RunsWorkStillPending) {
  bool thread_ends = GetParam();
  LoopThread loop;
  std::promise<void> busy;
  std::shared_future<void> released = busy.get_future().share();
  ASSERT_TRUE(loop.queue->Post([released, thread_ends, &loop] {
    released.wait();
    thread_ends ? void(loop.leave_loop = true) : loop.queue.reset();
  }));
  std::vector<int> ran;
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(loop.queue->Post([&ran, i] { ran.push_back(i); }));
  busy.set_value();
  loop.End();
  loop.queue.reset();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Ends, MessageLoopQueueTeardown, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "ThreadEnds" : "LastReferenceGoes");
                         });

}  // namespace
}  // namespace quillmar
