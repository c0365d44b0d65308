// SimScript.cpp - see SimScript.h.
#include "SimScript.h"

#include <cstdint>

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

}  // namespace

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

std::optional<Answers> ParseAnswers(std::string_view text) {
    Answers answers;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = Trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::optional<int> value = ParseInt32(Trim(line.substr(eq + 1)));
        if (!value) return std::nullopt;
        if (EqualsNoCase(key, "success")) {
            answers.success = *value;
        } else if (EqualsNoCase(key, "failure")) {
            answers.failure = *value;
        } else {
            return std::nullopt;
        }
    }
    return answers;
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
