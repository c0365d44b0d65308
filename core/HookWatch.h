#pragma once
// Finds out that the system has dropped the keyboard hook. Windows removes a
// low-level hook that once answers too slowly, and says nothing; from then on
// the assigned keys would stay dead. A second, independent view of the
// keyboard (Raw Input on the hook's thread) reports every key-down of an
// assigned key as well. Each such key-down should have a hook call of the
// same key close to it in time; one that has none for the grace period means
// the hook is gone and must be installed again.
//
// The two reports come in either order, and not always both: on Windows a key
// the hook swallows never reaches Raw Input (so a hook call may stay without
// its partner, and is forgotten after the grace period), while under Wine Raw
// Input also reports the swallowed keys, sometimes before the hook call. So
// the decision never rests on one report alone: only a Raw Input key-down
// left without a partner for the whole grace period counts.
//
// Times are millisecond tick counts that may wrap around.
#include <cstdint>
#include <vector>

#include "core/HookTable.h"

namespace keyentry {

constexpr std::uint32_t kHookWatchGraceMs = 200;

// Whether a key-down of this key types a field or a template of the table
// (only the low 16 bits of the key code count, as in the hook's decision).
bool IsAssignedKey(const HookTable& table, std::uint32_t vkCode);

class HookWatch {
 public:
  explicit HookWatch(std::uint32_t graceMs = kHookWatchGraceMs) : graceMs_(graceMs) {}

  // The hook procedure handled a key-down of an assigned key.
  void HookSaw(std::uint16_t vk, std::uint32_t now);
  // Raw Input reported a key-down (make, not break) of an assigned key.
  void RawInputSaw(std::uint16_t vk, std::uint32_t now);

  // True when a Raw Input key-down has found no hook call of its key for the
  // whole grace period: the hook is gone.
  bool RenewDue(std::uint32_t now) const;
  // Raw Input key-downs still waiting for their hook call (check again later).
  bool Waiting() const { return !raw_.empty(); }
  // Forgets everything, after the hook has been installed again.
  void Reset();

 private:
  struct Seen {
    std::uint16_t vk;
    std::uint32_t at;
  };
  void ForgetOldHookCalls(std::uint32_t now);
  static bool TakeOne(std::vector<Seen>& list, std::uint16_t vk);
  static void Add(std::vector<Seen>& list, Seen seen);

  std::uint32_t graceMs_;
  std::vector<Seen> hook_;  // hook calls without a Raw Input partner yet
  std::vector<Seen> raw_;   // Raw Input key-downs without a hook call yet
};

}  // namespace keyentry
