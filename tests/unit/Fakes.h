#pragma once
// Stand-ins for the platform, so the core can be driven without Windows.
#include <iconv.h>

#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/FileStore.h"
#include "core/InputPlan.h"
#include "core/KeyboardHook.h"
#include "core/Maths.h"
#include "core/MessageSink.h"
#include "core/ReaderLibrary.h"
#include "core/TextCodec.h"
#include "core/Texts.h"
#include "reader/MainWindowView.h"
#include "reader/Reading.h"
#include "tests/support/KeyFiles.h"
#include "tests/support/Utf8Codec.h"

namespace keyentry::test {

class FakeFiles : public FileStore {
 public:
  std::map<std::wstring, std::string> files;
  std::set<std::wstring> readOnly;
  bool failWrites = false;
  int replaceCalls = 0;
  bool outOfMemory = false;               // every read throws std::bad_alloc
  std::vector<std::size_t> prefixLimits;  // maxBytes of each ReadPrefix

  std::optional<std::string> ReadAll(const std::wstring& path) override {
    if (outOfMemory) throw std::bad_alloc();
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> ReadPrefix(const std::wstring& path, std::size_t maxBytes) override {
    prefixLimits.push_back(maxBytes);
    auto bytes = ReadAll(path);
    if (bytes && bytes->size() > maxBytes) bytes->resize(maxBytes);
    return bytes;
  }
  bool Replace(const std::wstring& path, std::string_view bytes) override {
    ++replaceCalls;
    if (failWrites || readOnly.count(path)) return false;
    files[path] = std::string(bytes);
    return true;
  }
  bool Remove(const std::wstring& path) override {
    removeCalls.push_back(path);
    if (readOnly.count(path)) return false;
    return files.erase(path) > 0;
  }
  std::vector<std::wstring> removeCalls;       // every path asked to be removed
  std::map<std::wstring, std::int64_t> times;  // when each file was written
  std::optional<std::int64_t> ModifiedTime(const std::wstring& path) override {
    if (!files.count(path)) return std::nullopt;
    auto it = times.find(path);
    return it == times.end() ? 0 : it->second;
  }
};

// Code page 936 as Windows decodes it, through the C library's converter.
class Cp936Codec : public TextCodec {
 public:
  std::wstring ToWide(std::string_view bytes) const override {
    iconv_t cd = iconv_open("WCHAR_T", "CP936");
    std::string in(bytes);
    std::wstring out(bytes.size() + 1, L'\0');
    char* inPtr = in.data();
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t inLeft = in.size(), outLeft = out.size() * sizeof(wchar_t);
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return L"<not code page 936>";
    out.resize(out.size() - outLeft / sizeof(wchar_t));
    return out;
  }
  // Characters code page 936 lacks become "?", as Windows writes them.
  std::string ToAnsi(std::wstring_view text) const override {
    std::string out;
    for (const wchar_t c : text) {
      iconv_t cd = iconv_open("CP936", "WCHAR_T");
      wchar_t one = c;
      char bytes[8];
      char* inPtr = reinterpret_cast<char*>(&one);
      char* outPtr = bytes;
      std::size_t inLeft = sizeof one, outLeft = sizeof bytes;
      const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
      iconv_close(cd);
      out += ok ? std::string(bytes, sizeof bytes - outLeft) : std::string("?");
    }
    return out;
  }
};

class FakeMessages : public MessageSink {
 public:
  std::vector<std::wstring> shown;
  void ShowMessage(std::wstring_view text) override { shown.emplace_back(text); }
};

class FakeHook : public KeyboardHook {
 public:
  bool installed = false;
  bool failInstall = false;
  int installCalls = 0;
  int hooksCreated = 0;
  int removeCalls = 0;
  bool Install() override {
    ++installCalls;
    if (!installed && !failInstall) {
      installed = true;
      ++hooksCreated;
    }
    return installed;
  }
  void Remove() override {
    ++removeCalls;
    installed = false;
  }
  // Each typing on read: the name of the card in the table published then.
  HookTableStore* tables = nullptr;
  std::vector<std::wstring> typedOnRead;
  void TypeOnRead() override {
    const auto& name = tables->Current()->values[0];
    typedOnRead.push_back(name ? *name : L"<none>");
  }
};

// A reader library scripted per test: which ports answer, whether a card
// lies on the reader, and what a read writes.
class FakeReader : public ReaderLibrary {
 public:
  std::set<int> readerPorts;
  bool missing = false;  // the library cannot be loaded
  bool cardPresent = false;
  bool readSucceeds = true;
  std::int32_t success = 1;
  std::int32_t failure = 0;
  std::vector<std::string> calls;
  // Run by a successful read, to write the card files.
  std::function<void()> onRead;
  // Run at every call of ReadContent, before it answers (the read's time).
  std::function<void()> reading;

  std::int32_t InitComm(std::int32_t port) override {
    calls.push_back("InitComm " + std::to_string(port));
    Check();
    return readerPorts.count(port) ? success : failure;
  }
  std::int32_t Authenticate() override {
    calls.push_back("Authenticate");
    Check();
    return cardPresent ? success : failure;
  }
  std::int32_t ReadContent(std::int32_t mode) override {
    calls.push_back("ReadContent " + std::to_string(mode));
    Check();
    if (reading) reading();
    if (!readSucceeds || mode != 4) return failure;
    if (onRead) onRead();
    return success;
  }
  std::int32_t CloseComm() override {
    calls.push_back("CloseComm");
    Check();
    return success;
  }

 private:
  void Check() const {
    if (missing) throw ReaderLibraryError("reader library missing");
  }
};

class RecordingSender : public TextSender {
 public:
  // Each call: the text, or "<null>" for a field never filled.
  std::vector<std::string> sent;
  void SendStr(const char* ansi) override { sent.push_back(ansi ? ansi : "<null>"); }
};

class FakeView : public MainWindowView {
 public:
  std::wstring caption = kCaptionStartReading;
  std::wstring status = kStatusInitial;
  bool timerEnabled = false;
  int timerStarts = 0;
  std::array<std::wstring, kCardFieldCount> shown;
  std::vector<std::wstring> photos;
  bool photoThrows = false;  // showing the photo runs out of memory

  std::wstring ReadButtonCaption() const override { return caption; }
  void SetReadButtonCaption(const std::wstring& c) override { caption = c; }
  void SetStatusText(const std::wstring& t) override { status = t; }
  void SetPollTimerEnabled(bool on) override {
    timerEnabled = on;
    if (on) ++timerStarts;
  }
  void ShowCardField(int field, const std::wstring& text) override { shown.at(field) = text; }
  void ShowPhoto(const std::wstring& path) override {
    if (photoThrows) throw std::bad_alloc();
    photos.push_back(path);
  }
  void ClearPhoto() override { ++photoClears; }
  int photoClears = 0;
  std::wstring warning;  // the warning line
  int beeps = 0;
  Date today{2024, 5, 20};
  void ShowCardWarning(const std::wstring& text, bool beep) override {
    warning = text;
    beeps += beep ? 1 : 0;
  }
  Date Today() const override { return today; }
};

// The core wired to fakes, as the program wires it to Windows.
struct CoreRig {
  FakeReader reader;
  FakeHook hook;
  FakeFiles files;
  Utf8Codec codec;
  FakeMessages messages;
  Cp936Codec settingsCodec;
  HookTableStore tables;
  Maths maths{CorePorts{reader, hook, files, codec, messages, settingsCodec}, L"C:\\app", tables};
  CoreRig() { hook.tables = &tables; }
  ReadingPorts reading{reader, files, codec, L"C:\\app"};

  static constexpr const wchar_t* kKeyFile = L"C:\\app\\SetKey.txt";
  static constexpr const wchar_t* kIniFile = L"C:\\app\\KeyEntry.ini";
  static constexpr const wchar_t* kCardFile = L"C:\\app\\wz.txt";

  void PressKey(std::uint32_t vk, RecordingSender& sender, std::uint32_t message = kWmKeyDown) {
    DecideKeyEvent(*tables.Current(), 0, message, vk, sender);
  }
  // The texts a key-down of the key types.
  std::vector<std::string> Typed(std::uint32_t vk) {
    RecordingSender sender;
    PressKey(vk, sender);
    return sender.sent;
  }
};

// Key events in short: "09/0F" a key-down (virtual key/scan code, in hex),
// "09/0F^" its key-up, "A3/1Dx^" an extended key-up, "u5F20" and "u5F20^"
// a Unicode key-down and key-up; separated by blanks.
inline std::string Keys(const std::vector<input::KeyEvent>& events) {
  std::string out;
  char buffer[24];
  for (const input::KeyEvent& e : events) {
    if (e.flags & input::kFlagUnicode) {
      std::snprintf(buffer, sizeof buffer, "u%X", e.scan);
    } else {
      std::snprintf(buffer, sizeof buffer, "%02X/%02X%s", e.vk, e.scan,
                    (e.flags & input::kFlagExtendedKey) ? "x" : "");
    }
    if (!out.empty()) out += ' ';
    out += buffer;
    if (e.flags & input::kFlagKeyUp) out += '^';
  }
  return out;
}

// A small keyboard layout: the digits, "-" and the letters a, b and x of a
// US keyboard (the capitals with Shift, or with Caps Lock on without it);
// every character asked for is recorded.
class FakeLayout : public input::KeyLayout {
 public:
  mutable std::u16string asked;
  std::optional<input::LayoutKey> Find(char16_t c) const override {
    asked.push_back(c);
    if (c == u'0') return input::LayoutKey{0x30, 0x0B, false, false};
    if (c >= u'1' && c <= u'9') {
      return input::LayoutKey{static_cast<std::uint16_t>(c),
                              static_cast<std::uint16_t>(c - u'1' + 2), false, false};
    }
    if (c == u'-') return input::LayoutKey{0xBD, 0x0C, false, false};
    for (const auto& [small, scan] : {std::pair{u'a', 0x1E}, {u'b', 0x30}, {u'x', 0x2D}}) {
      const auto vk = static_cast<std::uint16_t>(small - u'a' + u'A');
      const auto sc = static_cast<std::uint16_t>(scan);
      if (c == small) return input::LayoutKey{vk, sc, false, true};
      if (c == vk) return input::LayoutKey{vk, sc, true, false};
    }
    return std::nullopt;
  }
};

}  // namespace keyentry::test
