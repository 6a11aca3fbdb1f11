// The task methods with the host's platform thread in a single-threaded
// apartment, as in the real embedding. Wine cannot enter that apartment's
// context from the stand-in's thread (IContextCallback::ContextCallback is
// a stub there), so what the answer holds is Wine's to decide; what must
// hold anyway is that the call is answered exactly once, without a hang or
// a crash, and that nothing of the stand-in is left referenced.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/runtime_standin_windows/over_standin.h"
#include "tests/support/recording_result.h"

namespace quillmar::standin_test {
namespace {

struct TaskRow {
  const char* name;
  const char* method;
  EncodableValue arguments;
};

void PrintTo(const TaskRow& row, std::ostream* out) { *out << row.name; }

// What kind of answer came, for the test's output: an error's code and
// text, a bare string or bool, a map's "status" and "error"; never an
// item's value.
std::string Shape(const MethodReply& reply) {
  std::ostringstream shape;
  if (reply.kind == MethodReply::Kind::kError) {
    shape << "error " << reply.error_code << ": " << reply.error_message.value_or("(null)");
  } else if (reply.kind != MethodReply::Kind::kSuccess) {
    shape << "kind " << static_cast<int>(reply.kind);
  } else if (const std::string* text = reply.value.GetIf<std::string>()) {
    shape << "success \"" << *text << "\"";
  } else if (const bool* flag = reply.value.GetIf<bool>()) {
    shape << "success " << (*flag ? "true" : "false");
  } else if (const EncodableMap* map = reply.value.GetIf<EncodableMap>()) {
    shape << "success map";
    for (const char* key : {"status", "error"}) {
      auto found = map->find(EncodableValue(key));
      const std::string* text = found == map->end() ? nullptr : found->second.GetIf<std::string>();
      shape << " " << key << "=" << (text != nullptr ? *text : "(null)");
    }
    auto value = map->find(EncodableValue("itemValue"));
    shape << " itemValue " << (value != map->end() && !value->second.IsNull() ? "set" : "null");
  }
  return shape.str();
}

class TaskMethodInStaTest : public OverStandIn<::testing::TestWithParam<TaskRow>> {
 protected:
  TaskMethodInStaTest() : OverStandIn(Apartment::kSingleThreaded) {}
};

TEST_P(TaskMethodInStaTest, IsAnsweredExactlyOnce) {
  standin::PutVaultEntry({"Quillmar", "k", "secret"});
  standin::Set("store.updates", "1");
  standin::Set("store.progress", "0.5,1");
  standin::Set("delay_ms", "20");
  // The Store refuses to install without the application's window.
  host::HostEngine& engine = Host(/*with_view=*/true).engine();

  std::mutex mutex;
  std::vector<std::vector<uint8_t>> answers;
  std::promise<void> answered;
  std::future<void> first = answered.get_future();
  engine.Deliver(host::kPluginChannel,
                 host::EncodeMethodCall(GetParam().method, GetParam().arguments),
                 [&](std::vector<uint8_t> bytes) {
                   std::lock_guard lock(mutex);
                   answers.push_back(std::move(bytes));
                   if (answers.size() == 1) answered.set_value();
                 });

  ASSERT_EQ(first.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "no answer";
  // A second answer, from a resumption that ran twice, would come soon after.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::lock_guard lock(mutex);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(engine.bad_response_count(), 0);
  MethodReply reply = host::DecodeReply(answers[0]);
  EXPECT_NE(reply.kind, MethodReply::Kind::kUndecodable);
  std::string shape = Shape(reply);
  RecordProperty("answer", shape);
  std::printf("answer under Wine: %s\n", shape.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    EveryTaskMethod, TaskMethodInStaTest,
    ::testing::Values(TaskRow{"Availability", "getBiometryAvailability", EncodableValue()},
                      TaskRow{"BiometricItem", "getBiometricSecureItem",
                              testing::MapArgs({{"itemKey", "k"}, {"biometricPrompt", "Unlock"}})},
                      TaskRow{"StoreUpdate", "installStoreUpdate", EncodableValue()}),
    [](const ::testing::TestParamInfo<TaskRow>& info) { return info.param.name; });

}  // namespace
}  // namespace quillmar::standin_test
