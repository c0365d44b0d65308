// Cost of the keyboard hook's decision for one key event, on the host: a
// key-up (handed on), a key-down of a key no field uses (let through) and a
// key-down of an assigned key (typed, with a sender that types nothing).
// The "WithTable" variants also fetch the current table from the store
// first, as the hook procedure does for every event.
#include <benchmark/benchmark.h>
#include <cstdint>
#include <memory>
#include <string>

#include "core/HookTable.h"
#include "core/KeyboardHook.h"

namespace {

using keyentry::DecideKeyEvent;
using keyentry::HookDecision;
using keyentry::HookTable;
using keyentry::HookTableStore;

constexpr std::uint32_t kWmKeyUp = 257;  // WM_KEYUP
constexpr std::uint32_t kVkF1 = 0x70;
constexpr std::uint32_t kVkA = 0x41;

// Types nothing; counts calls only so a benchmark can tell it was reached.
class NullSender : public keyentry::TextSender {
 public:
  void SendStr(const char* ansi) override {
    benchmark::DoNotOptimize(ansi);
    ++calls;
  }
  long calls = 0;
};

// F1..F8 assigned to the eight fields in order, every field filled.
std::shared_ptr<const HookTable> MakeTable() {
  auto table = std::make_shared<HookTable>();
  for (int k = 0; k < keyentry::kCardFieldCount; ++k) {
    table->codes[k] = static_cast<std::int16_t>(kVkF1 + k);
    table->texts[k] = "field " + std::to_string(k);
  }
  return table;
}

struct Event {
  std::uint32_t message;
  std::uint32_t vkCode;
  HookDecision expected;  // checked once before timing
  long expectedCalls;     // texts typed for the event
};

const Event kKeyUp{kWmKeyUp, kVkF1, {true, 0}, 0};
const Event kKeyDownOther{keyentry::kWmKeyDown, kVkA, {false, 0}, 0};
const Event kKeyDownAssigned{keyentry::kWmKeyDown, kVkF1, {false, 1}, 1};

// Runs the event once outside the timing and stops the benchmark if the
// decision is not the one the case is meant to measure.
bool CheckCase(benchmark::State& state, const HookTable& table, const Event& e) {
  NullSender sender;
  const HookDecision d = DecideKeyEvent(table, 0, e.message, e.vkCode, sender);
  if (d.callNextHook != e.expected.callNextHook || d.result != e.expected.result ||
      sender.calls != e.expectedCalls) {
    state.SkipWithError("the event is not decided as this case expects");
    return false;
  }
  return true;
}

void BM_Decide(benchmark::State& state, Event e) {
  const auto table = MakeTable();
  if (!CheckCase(state, *table, e)) return;
  NullSender sender;
  for (auto _ : state) {
    std::uint32_t message = e.message;
    std::uint32_t vk = e.vkCode;
    benchmark::DoNotOptimize(message);
    benchmark::DoNotOptimize(vk);
    HookDecision d = DecideKeyEvent(*table, 0, message, vk, sender);
    benchmark::DoNotOptimize(d);
  }
  benchmark::DoNotOptimize(sender.calls);
}

void BM_DecideWithTable(benchmark::State& state, Event e) {
  HookTableStore store;
  store.Publish(MakeTable());
  if (!CheckCase(state, *store.Current(), e)) return;
  NullSender sender;
  for (auto _ : state) {
    std::uint32_t message = e.message;
    std::uint32_t vk = e.vkCode;
    benchmark::DoNotOptimize(message);
    benchmark::DoNotOptimize(vk);
    const std::shared_ptr<const HookTable> table = store.Current();
    HookDecision d = DecideKeyEvent(*table, 0, message, vk, sender);
    benchmark::DoNotOptimize(d);
  }
  benchmark::DoNotOptimize(sender.calls);
}

BENCHMARK_CAPTURE(BM_Decide, KeyUp, kKeyUp);
BENCHMARK_CAPTURE(BM_Decide, KeyDownOther, kKeyDownOther);
BENCHMARK_CAPTURE(BM_Decide, KeyDownAssigned, kKeyDownAssigned);
BENCHMARK_CAPTURE(BM_DecideWithTable, KeyUp, kKeyUp);
BENCHMARK_CAPTURE(BM_DecideWithTable, KeyDownOther, kKeyDownOther);
BENCHMARK_CAPTURE(BM_DecideWithTable, KeyDownAssigned, kKeyDownAssigned);

}  // namespace

BENCHMARK_MAIN();
