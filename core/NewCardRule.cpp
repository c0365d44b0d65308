#include "core/NewCardRule.h"

#include <chrono>
#include <random>

namespace keyentry {

namespace {

constexpr std::uint64_t Rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct SipState {
  std::uint64_t v0, v1, v2, v3;
  void Round() {
    v0 += v1;
    v1 = Rotl(v1, 13);
    v1 ^= v0;
    v0 = Rotl(v0, 32);
    v2 += v3;
    v3 = Rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = Rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = Rotl(v1, 17);
    v1 ^= v2;
    v2 = Rotl(v2, 32);
  }
  void Absorb(std::uint64_t m) {
    v3 ^= m;
    Round();
    Round();
    v0 ^= m;
  }
};

}  // namespace

std::uint64_t KeyedDigest(const std::wstring& text, std::uint64_t key0, std::uint64_t key1) {
  SipState s{key0 ^ 0x736f6d6570736575ull, key1 ^ 0x646f72616e646f6dull,
             key0 ^ 0x6c7967656e657261ull, key1 ^ 0x7465646279746573ull};
  // Each code unit as two bytes, little-endian, whatever wchar_t's size.
  std::uint64_t word = 0;
  std::size_t bytes = 0;
  for (const wchar_t c : text) {
    const auto unit = static_cast<std::uint64_t>(static_cast<std::uint16_t>(c));
    word |= unit << (8 * (bytes % 8));
    bytes += 2;
    if (bytes % 8 == 0) {
      s.Absorb(word);
      word = 0;
    }
  }
  s.Absorb(word | (static_cast<std::uint64_t>(bytes & 0xff) << 56));
  s.v2 ^= 0xff;
  for (int i = 0; i < 4; ++i) s.Round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

NewCardRule::NewCardRule() {
  // Some runtimes' random_device is not random: the clock and an address
  // of this run are mixed in.
  std::random_device device;
  const auto clock =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto place = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(this));
  key0_ = (static_cast<std::uint64_t>(device()) << 32 | device()) ^ clock;
  key1_ =
      (static_cast<std::uint64_t>(device()) << 32 | device()) ^ Rotl(place, 29) ^
      Rotl(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()),
           17);
}

bool NewCardRule::CardRead(const std::wstring& idNumber, std::uint64_t atMs) {
  CardFound(atMs);
  const std::uint64_t digest = KeyedDigest(idNumber, key0_, key1_);
  const bool isNew = lifted_ || !last_ || *last_ != digest;
  lifted_ = false;
  last_ = digest;
  return isNew;
}

}  // namespace keyentry
