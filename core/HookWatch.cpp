#include "core/HookWatch.h"

namespace keyentry {

namespace {
// Bounds the memory whatever arrives: far more than keys can be pressed
// within one grace period.
constexpr std::size_t kMaxRemembered = 64;
}  // namespace

bool IsAssignedKey(const HookTable& table, std::uint32_t vkCode) {
  const auto key = static_cast<std::int16_t>(vkCode & 0xFFFFu);
  if (key == 0) return false;
  for (const std::int16_t code : table.codes) {
    if (code == key) return true;
  }
  return table.settings != nullptr && table.settings->FindTemplate(key) != nullptr;
}

void HookWatch::HookSaw(std::uint16_t vk, std::uint32_t now) {
  ForgetOldHookCalls(now);
  if (TakeOne(raw_, vk)) return;
  Add(hook_, Seen{vk, now});
}

void HookWatch::RawInputSaw(std::uint16_t vk, std::uint32_t now) {
  ForgetOldHookCalls(now);
  if (TakeOne(hook_, vk)) return;
  Add(raw_, Seen{vk, now});
}

bool HookWatch::RenewDue(std::uint32_t now) const {
  for (const Seen& seen : raw_) {
    if (now - seen.at >= graceMs_) return true;
  }
  return false;
}

void HookWatch::Reset() {
  hook_.clear();
  raw_.clear();
}

void HookWatch::ForgetOldHookCalls(std::uint32_t now) {
  std::size_t kept = 0;
  for (const Seen& seen : hook_) {
    if (now - seen.at <= graceMs_) hook_[kept++] = seen;
  }
  hook_.resize(kept);
}

bool HookWatch::TakeOne(std::vector<Seen>& list, std::uint16_t vk) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->vk == vk) {
      list.erase(it);
      return true;
    }
  }
  return false;
}

void HookWatch::Add(std::vector<Seen>& list, Seen seen) {
  if (list.size() >= kMaxRemembered) list.erase(list.begin());
  list.push_back(seen);
}

}  // namespace keyentry
