#include "ostra-sim/SimScript.h"

#include <cstdint>
#include <iterator>
#include <utility>

namespace keyentry {
namespace ostrasim {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Unsigned decimal of at most 9 digits (fits an int with room to spare).
std::optional<unsigned> ParseSmallDecimal(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  unsigned value = 0;
  for (const char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10u + static_cast<unsigned>(c - '0');
  }
  return value;
}

// Signed decimal within int32, or 0x-hex of at most 8 digits (bit pattern).
std::optional<int> ParseInt32(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    if (s.empty() || s.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : s) {
      unsigned digit;
      if (IsDigit(c)) {
        digit = static_cast<unsigned>(c - '0');
      } else if (Lower(c) >= 'a' && Lower(c) <= 'f') {
        digit = static_cast<unsigned>(Lower(c) - 'a' + 10);
      } else {
        return std::nullopt;
      }
      value = (value << 4) | digit;
    }
    return static_cast<int>(static_cast<std::int32_t>(value));
  }
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

// Calls one line at a time to `line` (trimmed, without blank lines and
// '#' comments); stops and returns false as soon as `line` does.
template <typename OnLine>
bool ForEachLine(std::string_view text, OnLine line) {
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view current = Trim(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (current.empty() || current[0] == '#') continue;
    if (!line(current)) return false;
  }
  return true;
}

// "key=value" with both sides trimmed; nullopt without '='.
std::optional<std::pair<std::string_view, std::string_view>> SplitKeyValue(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::make_pair(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

constexpr Call kAllCalls[] = {Call::InitComm, Call::Authenticate, Call::ReadContent,
                              Call::CloseComm};

unsigned& DelayOf(Delays& delays, Call call) {
  switch (call) {
    case Call::InitComm:
      return delays.initComm;
    case Call::Authenticate:
      return delays.authenticate;
    case Call::ReadContent:
      return delays.readContent;
    case Call::CloseComm:
      break;
  }
  return delays.closeComm;
}

}  // namespace

std::string_view CallName(Call call) {
  switch (call) {
    case Call::InitComm:
      return "InitComm";
    case Call::Authenticate:
      return "Authenticate";
    case Call::ReadContent:
      return "Read_Content";
    case Call::CloseComm:
      break;
  }
  return "CloseComm";
}

unsigned Delays::of(Call call) const {
  switch (call) {
    case Call::InitComm:
      return initComm;
    case Call::Authenticate:
      return authenticate;
    case Call::ReadContent:
      return readContent;
    case Call::CloseComm:
      break;
  }
  return closeComm;
}

std::optional<std::string> DecodeScriptText(std::string_view bytes) {
  if (bytes.size() > kMaxScriptBytes) return std::nullopt;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    bytes.remove_prefix(2);
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      const unsigned char lo = static_cast<unsigned char>(bytes[i]);
      const unsigned char hi = static_cast<unsigned char>(bytes[i + 1]);
      if (hi != 0 || lo == 0 || lo >= 0x80) return std::nullopt;
      text.push_back(static_cast<char>(lo));
    }
    return text;
  }
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
      static_cast<unsigned char>(bytes[1]) == 0xBB &&
      static_cast<unsigned char>(bytes[2]) == 0xBF) {
    bytes.remove_prefix(3);
  }
  for (const char c : bytes) {
    if (c == '\0') return std::nullopt;
  }
  return std::string(bytes);
}

std::optional<std::vector<int>> ParsePorts(std::string_view text) {
  std::vector<int> ports;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsSpace(c) || c == ',' || c == ';') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != ',' && text[end] != ';') {
      ++end;
    }
    const std::optional<unsigned> port = ParseSmallDecimal(text.substr(i, end - i));
    if (!port) return std::nullopt;
    ports.push_back(static_cast<int>(*port));
    i = end;
  }
  return ports;
}

std::optional<std::string> ParseCardName(std::string_view text) {
  const std::size_t eol = text.find_first_of("\r\n");
  const std::string_view name = Trim(text.substr(0, eol));
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' ||
        c == '"' || c == '<' || c == '>' || c == '|') {
      return std::nullopt;
    }
  }
  return std::string(name);
}

std::optional<unsigned> ParseDelay(std::string_view text) {
  const std::string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  std::size_t digits = 0;
  for (const char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    ++digits;
  }
  // Long but well-formed numbers clamp instead of failing.
  if (digits > 9) return kMaxDelayMs;
  const std::optional<unsigned> value = ParseSmallDecimal(s);
  if (!value) return std::nullopt;
  return *value > kMaxDelayMs ? kMaxDelayMs : *value;
}

namespace {

// "ms" or "lo-hi" (lo at most hi): the least and the spread above it.
std::optional<std::pair<unsigned, unsigned>> ParseDelayRange(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    const std::optional<unsigned> ms = ParseDelay(text);
    if (!ms) return std::nullopt;
    return std::make_pair(*ms, 0u);
  }
  const std::optional<unsigned> lo = ParseDelay(text.substr(0, dash));
  const std::optional<unsigned> hi = ParseDelay(text.substr(dash + 1));
  if (!lo || !hi || *hi < *lo) return std::nullopt;
  return std::make_pair(*lo, *hi - *lo);
}

}  // namespace

unsigned Delays::pick(Call call, unsigned draw) const {
  const unsigned more = spread[static_cast<int>(call)];
  return of(call) + (more > 0 ? draw % (more + 1) : 0u);
}

std::optional<Delays> ParseDelays(std::string_view text) {
  // The old form: one number for every call.
  if (const std::optional<unsigned> all = ParseDelay(text)) {
    return Delays{*all, *all, *all, *all};
  }
  // Lines "name=ms" / "*=ms"; a named line wins over "*" whatever the order.
  std::optional<std::pair<unsigned, unsigned>> star;
  std::optional<std::pair<unsigned, unsigned>> named[std::size(kAllCalls)];
  const bool clean = ForEachLine(text, [&](std::string_view line) {
    const auto pair = SplitKeyValue(line);
    if (!pair) return false;
    const auto ms = ParseDelayRange(pair->second);
    if (!ms) return false;
    if (pair->first == "*") {
      star = ms;
      return true;
    }
    for (std::size_t i = 0; i < std::size(kAllCalls); ++i) {
      if (EqualsNoCase(pair->first, CallName(kAllCalls[i]))) {
        named[i] = ms;
        return true;
      }
    }
    return false;
  });
  if (!clean) return std::nullopt;
  Delays delays;
  for (std::size_t i = 0; i < std::size(kAllCalls); ++i) {
    const auto range = named[i] ? *named[i] : star.value_or(std::make_pair(0u, 0u));
    DelayOf(delays, kAllCalls[i]) = range.first;
    delays.spread[static_cast<int>(kAllCalls[i])] = range.second;
  }
  return delays;
}

std::optional<Faults> ParseFaults(std::string_view text) {
  Faults faults;
  const bool clean = ForEachLine(text, [&](std::string_view line) {
    const auto pair = SplitKeyValue(line);
    if (!pair) return false;
    const auto [key, value] = *pair;
    const bool crash = EqualsNoCase(key, "crash");
    if (!crash && !EqualsNoCase(key, "hang")) return false;
    std::string_view name = value;
    std::optional<unsigned> ms;
    if (!crash) {
      const std::size_t comma = value.find(',');
      if (comma == std::string_view::npos) return false;
      name = Trim(value.substr(0, comma));
      ms = ParseSmallDecimal(Trim(value.substr(comma + 1)));
      if (!ms) return false;
      if (*ms > kMaxHangMs) ms = kMaxHangMs;
    }
    bool known = false;
    for (std::size_t i = 0; i < std::size(kAllCalls); ++i) {
      if (name != "*" && !EqualsNoCase(name, CallName(kAllCalls[i]))) continue;
      known = true;
      if (crash) {
        faults.crash[i] = true;
      } else {
        faults.hangMs[i] = *ms;
      }
    }
    return known;
  });
  if (!clean) return std::nullopt;
  return faults;
}

std::optional<Answers> ParseAnswers(std::string_view text) {
  Answers answers;
  const bool clean = ForEachLine(text, [&](std::string_view line) {
    const auto pair = SplitKeyValue(line);
    if (!pair) return false;
    const auto [key, value] = *pair;
    if (EqualsNoCase(key, "force_read")) {
      if (value != "0" && value != "1") return false;
      answers.forceRead = value == "1";
      return true;
    }
    if (EqualsNoCase(key, "blink")) {
      if (value.empty() || value.size() > kMaxBlinkLength ||
          value.find_first_not_of("01") != std::string_view::npos) {
        return false;
      }
      answers.blink = std::string(value);
      return true;
    }
    if (EqualsNoCase(key, "card_files")) {
      if (EqualsNoCase(value, "program_folder")) {
        answers.cardFiles = CardFilesFolder::Program;
      } else if (EqualsNoCase(value, "current_folder")) {
        answers.cardFiles = CardFilesFolder::Current;
      } else {
        return false;
      }
      return true;
    }
    const std::optional<int> number = ParseInt32(value);
    if (!number) return false;
    if (EqualsNoCase(key, "success")) {
      answers.success = *number;
    } else if (EqualsNoCase(key, "failure")) {
      answers.failure = *number;
    } else {
      return false;
    }
    return true;
  });
  if (!clean) return std::nullopt;
  return answers;
}

bool BlinkFinds(const std::string& blink, unsigned count) {
  return blink.empty() || blink[count % blink.size()] == '1';
}

bool IsReaderPort(int port) { return (port >= 1 && port <= 16) || (port >= 1001 && port <= 1016); }

bool IsSuccess(int result) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(result) & 0xFFFFu) == 1;
}

std::string FormatCallLine(std::string_view function, std::optional<int> argument, int result) {
  std::string line(function);
  if (argument) {
    line += ' ';
    line += std::to_string(*argument);
  }
  line += " -> ";
  line += std::to_string(result);
  line += "\r\n";
  return line;
}

}  // namespace ostrasim
}  // namespace keyentry
