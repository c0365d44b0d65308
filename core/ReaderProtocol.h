#pragma once
// The messages between KeyEntry and its reader helper, over a pair of
// anonymous pipes: one request, then one reply, fixed sizes, little-endian.
//   request: sequence, call (ReaderCall), argument            (12 bytes)
//   reply:   sequence, outcome (0 answered, 1 library error),
//            value, library state, error number, missing functions
//            (bit 0 InitComm, 1 Authenticate, 2 Read_Content, 3 CloseComm)
//                                                              (24 bytes)
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/SelfCheck.h"

namespace keyentry {

constexpr std::size_t kReaderRequestBytes = 12;
constexpr std::size_t kReaderReplyBytes = 24;
// The functions in the order of the bits of a reply's missing functions.
inline constexpr const char* kReaderFunctionNames[4] = {"KLV_InitComm", "KLV_Authenticate",
                                                        "KLV_Read_Content", "KLV_CloseComm"};

struct ReaderRequest {
  std::uint32_t sequence = 0;
  std::uint32_t call = 0;
  std::int32_t argument = 0;
};

struct ReaderReply {
  std::uint32_t sequence = 0;
  bool libraryError = false;
  std::int32_t value = 0;
  LibraryFacts::State state = LibraryFacts::State::kNotTried;
  std::uint32_t error = 0;
  std::uint32_t missing = 0;
};

namespace protocol_detail {
inline void Put(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint32_t Get(const std::uint8_t* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return v;
}
}  // namespace protocol_detail

inline std::array<std::uint8_t, kReaderRequestBytes> EncodeRequest(const ReaderRequest& r) {
  std::array<std::uint8_t, kReaderRequestBytes> out{};
  protocol_detail::Put(&out[0], r.sequence);
  protocol_detail::Put(&out[4], r.call);
  protocol_detail::Put(&out[8], static_cast<std::uint32_t>(r.argument));
  return out;
}

inline ReaderRequest DecodeRequest(const std::uint8_t* in) {
  return ReaderRequest{protocol_detail::Get(in), protocol_detail::Get(in + 4),
                       static_cast<std::int32_t>(protocol_detail::Get(in + 8))};
}

inline std::array<std::uint8_t, kReaderReplyBytes> EncodeReply(const ReaderReply& r) {
  std::array<std::uint8_t, kReaderReplyBytes> out{};
  protocol_detail::Put(&out[0], r.sequence);
  protocol_detail::Put(&out[4], r.libraryError ? 1u : 0u);
  protocol_detail::Put(&out[8], static_cast<std::uint32_t>(r.value));
  protocol_detail::Put(&out[12], static_cast<std::uint32_t>(r.state));
  protocol_detail::Put(&out[16], r.error);
  protocol_detail::Put(&out[20], r.missing);
  return out;
}

inline ReaderReply DecodeReply(const std::uint8_t* in) {
  ReaderReply r;
  r.sequence = protocol_detail::Get(in);
  r.libraryError = protocol_detail::Get(in + 4) != 0;
  r.value = static_cast<std::int32_t>(protocol_detail::Get(in + 8));
  const std::uint32_t state = protocol_detail::Get(in + 12);
  r.state = state <= static_cast<std::uint32_t>(LibraryFacts::State::kMissingFunctions)
                ? static_cast<LibraryFacts::State>(state)
                : LibraryFacts::State::kNotTried;
  r.error = protocol_detail::Get(in + 16);
  r.missing = protocol_detail::Get(in + 20);
  return r;
}

// The library's facts from a reply; path: where the helper loads it from.
inline LibraryFacts FactsOfReply(const ReaderReply& r, const std::wstring& path) {
  LibraryFacts facts;
  facts.state = r.state;
  if (facts.state != LibraryFacts::State::kNotTried) facts.path = path;
  facts.error = r.error;
  for (int i = 0; i < 4; ++i) {
    if (r.missing & (1u << i)) {
      const char* name = kReaderFunctionNames[i];
      facts.missing.emplace_back(name, name + std::char_traits<char>::length(name));
    }
  }
  return facts;
}

}  // namespace keyentry
