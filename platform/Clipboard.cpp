#include "platform/Clipboard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "core/Wipe.h"
#include "platform/Handles.h"
#include "platform/MessagePump.h"

namespace keyentry {

namespace {

// A memory block locked for the scope.
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL memory)
      : memory_(memory), data_(memory ? ::GlobalLock(memory) : nullptr) {}
  ~LockedGlobal() {
    if (data_) ::GlobalUnlock(memory_);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;

  void* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL memory_;
  void* data_;
};

bool PutMemory(UINT format, const void* bytes, std::size_t size) {
  UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return false;
  {
    const LockedGlobal locked(memory.get());
    if (!locked) return false;
    std::memcpy(locked.get(), bytes, size);
  }
  if (!::SetClipboardData(format, memory.get())) return false;
  memory.release();  // the clipboard's now
  return true;
}

// How a format's data was copied for a snapshot.
enum class Copy {
  kDone,
  kNoData,   // none to read: the format is skipped
  kTooMuch,  // over the room left, or out of memory: nothing is saved
};

// Copies the clipboard's memory block of this format into a block of our
// own, if it fits in `room`, which it then takes from.
Copy CopyBlock(UINT format, std::size_t& room, UniqueGlobal& out) {
  const HANDLE data = ::GetClipboardData(format);
  const SIZE_T size = data ? ::GlobalSize(data) : 0;
  if (size == 0) return Copy::kNoData;
  if (size > room) return Copy::kTooMuch;
  const LockedGlobal from(data);
  if (!from) return Copy::kNoData;
  UniqueGlobal copy(::GlobalAlloc(GMEM_MOVEABLE, size));
  {
    const LockedGlobal to(copy.get());
    if (!to) return Copy::kTooMuch;
    std::memcpy(to.get(), from.get(), size);
  }
  room -= size;
  out = std::move(copy);
  return Copy::kDone;
}

Copy CopyEnhMetafile(UINT format, std::size_t& room, UniqueEnhMetafile& out) {
  const auto metafile = static_cast<HENHMETAFILE>(::GetClipboardData(format));
  const UINT size = metafile ? ::GetEnhMetaFileBits(metafile, 0, nullptr) : 0;
  if (size == 0) return Copy::kNoData;
  if (size > room) return Copy::kTooMuch;
  UniqueEnhMetafile copy(::CopyEnhMetaFileW(metafile, nullptr));
  if (!copy) return Copy::kTooMuch;
  room -= size;
  out = std::move(copy);
  return Copy::kDone;
}

// A packed device-independent bitmap of the bitmap (header and 32-bit
// pixels, bottom-up) in a memory block of its own, if it fits in `room`.
Copy PackDib(HBITMAP bitmap, std::size_t& room, UniqueGlobal& out) {
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof info, &info) != sizeof info || info.bmWidth <= 0 ||
      info.bmHeight == 0) {
    return Copy::kNoData;
  }
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  const std::uint64_t imageSize = std::uint64_t{4} * static_cast<std::uint64_t>(info.bmWidth) *
                                  static_cast<std::uint64_t>(height);
  BITMAPINFOHEADER header{};
  if (imageSize + sizeof header > room) return Copy::kTooMuch;
  header.biSize = sizeof header;
  header.biWidth = info.bmWidth;
  header.biHeight = height;  // bottom-up, as CF_DIB usually is
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(imageSize);
  const std::size_t size = sizeof header + static_cast<std::size_t>(imageSize);
  UniqueGlobal dib(::GlobalAlloc(GMEM_MOVEABLE, size));
  {
    const LockedGlobal locked(dib.get());
    if (!locked) return Copy::kTooMuch;
    auto* bytes = static_cast<unsigned char*>(locked.get());
    std::memcpy(bytes, &header, sizeof header);
    const WindowDC screen(nullptr);
    if (!screen ||
        ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), bytes + sizeof header,
                    reinterpret_cast<BITMAPINFO*>(bytes), DIB_RGB_COLORS) != height) {
      return Copy::kNoData;
    }
  }
  room -= size;
  out = std::move(dib);
  return Copy::kDone;
}

// The image of the clipboard in one device-independent form: the first
// listed that has data (the one its owner put there, or the first the
// system made from a bitmap; the system makes the others from it), else the
// bitmap converted.
Copy CopyImage(const std::vector<UINT>& formats, std::size_t& room, UINT& format,
               UniqueGlobal& out) {
  for (const UINT f : formats) {
    if (f != CF_DIB && f != CF_DIBV5) continue;
    const Copy copied = CopyBlock(f, room, out);
    if (copied != Copy::kNoData) {
      format = f;
      return copied;
    }
  }
  if (std::find(formats.begin(), formats.end(), UINT{CF_BITMAP}) == formats.end()) {
    return Copy::kNoData;
  }
  format = CF_DIB;
  return PackDib(static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP)), room, out);
}

// The characters of a memory block of text up to its terminating zero (or
// its end).
template <typename Char>
std::basic_string_view<Char> TextIn(const LockedGlobal& locked, HGLOBAL memory) {
  const auto* first = static_cast<const Char*>(locked.get());
  const std::size_t most = ::GlobalSize(memory) / sizeof(Char);
  return std::basic_string_view<Char>(first, std::find(first, first + most, Char{0}) - first);
}

// The code page in which the system makes CF_TEXT or CF_OEMTEXT from Unicode
// text for the clipboard's locale.
UINT CodePageFor(UINT format, LCID locale) {
  UINT codePage = 0;
  const LCTYPE type = format == CF_TEXT ? LOCALE_IDEFAULTANSICODEPAGE : LOCALE_IDEFAULTCODEPAGE;
  if (!::GetLocaleInfoW(locale, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&codePage),
                        sizeof codePage / sizeof(wchar_t))) {
    codePage = format == CF_TEXT ? CP_ACP : CP_OEMCP;
  }
  return codePage;
}

// Whether the system, given the Unicode text back, makes exactly this ANSI
// or OEM text again.
bool MadeFromUnicode(HGLOBAL narrowMemory, UINT format, HGLOBAL unicodeMemory, LCID locale) {
  const LockedGlobal narrowLocked(narrowMemory), unicodeLocked(unicodeMemory);
  if (!narrowLocked || !unicodeLocked) return false;
  const std::string_view narrow = TextIn<char>(narrowLocked, narrowMemory);
  const std::wstring_view wide = TextIn<wchar_t>(unicodeLocked, unicodeMemory);
  if (wide.empty()) return narrow.empty();
  const UINT codePage = CodePageFor(format, locale);
  const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n <= 0 || static_cast<std::size_t>(n) != narrow.size()) return false;
  std::string made(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &made[0], n,
                        nullptr, nullptr);
  return made == narrow;
}

bool IsImageForm(UINT format) {
  return format == CF_BITMAP || format == CF_DIB || format == CF_DIBV5;
}

// Formats whose data is not a memory block this module can copy: palettes,
// the old metafile form (a handle inside a block), owner-drawn formats, and
// the private and GDI-object ranges whose handles mean something only to
// their owner.
bool CannotBeCopied(UINT format) {
  return format == CF_PALETTE || format == CF_METAFILEPICT || format == CF_DSPMETAFILEPICT ||
         format == CF_DSPBITMAP || format == CF_OWNERDISPLAY ||
         (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
         (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST);
}

// Whether the open clipboard's Unicode text is this text (compared where it
// lies: the clipboard may hold a large text).
bool UnicodeTextIs(const std::wstring& text) {
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const LockedGlobal held(data);
  if (!held) return false;
  return TextIn<wchar_t>(held, data) == std::wstring_view(text.c_str());
}

}  // namespace

ClipboardWindow::ClipboardWindow() {
  static const wchar_t kClass[] = L"KeyEntryClipboardOwner";
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassW(&wc);  // the second time fails harmlessly: the class is there
  window_ = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                              nullptr);
}

ClipboardWindow::~ClipboardWindow() {
  if (window_) ::DestroyWindow(window_);
}

OpenedClipboard::OpenedClipboard(HWND window, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (::OpenClipboard(window)) {
      open_ = true;
      return;
    }
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs) return;
    WaitServingSentMessages(std::min<DWORD>(10, timeoutMs - elapsed));
  }
}

OpenedClipboard::~OpenedClipboard() {
  if (open_) ::CloseClipboard();
}

std::optional<ClipboardSnapshot> ClipboardSnapshot::Save(const OpenedClipboard& clipboard,
                                                         std::size_t capBytes) {
  ClipboardSnapshot snapshot;
  if (!clipboard) return snapshot;
  std::vector<UINT> formats;
  for (UINT f = ::EnumClipboardFormats(0); f != 0; f = ::EnumClipboardFormats(f)) {
    formats.push_back(f);
  }
  const auto has = [&](UINT f) {
    return std::find(formats.begin(), formats.end(), f) != formats.end();
  };
  std::size_t room = capBytes;

  // Text: the Unicode form is kept; the system makes the ANSI and OEM forms
  // from it with the code pages of the clipboard's locale, so those are kept
  // only where that would not give back the same text.
  UniqueGlobal unicode, localeBlock;
  if (has(CF_UNICODETEXT) && CopyBlock(CF_UNICODETEXT, room, unicode) == Copy::kTooMuch) {
    return std::nullopt;
  }
  if (has(CF_LOCALE) && CopyBlock(CF_LOCALE, room, localeBlock) == Copy::kTooMuch) {
    return std::nullopt;
  }
  const HGLOBAL unicodeText = unicode.get();  // stays valid where the item moves
  LCID locale = ::GetUserDefaultLCID();
  if (localeBlock && ::GlobalSize(localeBlock.get()) >= sizeof locale) {
    const LockedGlobal locked(localeBlock.get());
    if (locked) std::memcpy(&locale, locked.get(), sizeof locale);
  }

  bool imageTaken = false;
  for (const UINT f : formats) {
    Item item;
    item.format = f;
    Copy copied = Copy::kNoData;
    if (IsImageForm(f)) {
      if (imageTaken) continue;
      imageTaken = true;
      copied = CopyImage(formats, room, item.format, item.memory);
    } else if (f == CF_METAFILEPICT && has(CF_ENHMETAFILE)) {
      continue;  // made again from the new form
    } else if (CannotBeCopied(f)) {
      snapshot.skipped_.push_back(f);
      continue;
    } else if (f == CF_UNICODETEXT || f == CF_LOCALE) {
      UniqueGlobal& block = f == CF_UNICODETEXT ? unicode : localeBlock;
      if (block) copied = Copy::kDone;
      item.memory = std::move(block);
    } else if (f == CF_ENHMETAFILE || f == CF_DSPENHMETAFILE) {
      copied = CopyEnhMetafile(f, room, item.metafile);
    } else {
      copied = CopyBlock(f, room, item.memory);
      if (copied == Copy::kDone && unicodeText && (f == CF_TEXT || f == CF_OEMTEXT) &&
          MadeFromUnicode(item.memory.get(), f, unicodeText, locale)) {
        room += ::GlobalSize(item.memory.get());
        continue;
      }
    }
    if (copied == Copy::kTooMuch) return std::nullopt;
    if (copied == Copy::kDone) {
      snapshot.items_.push_back(std::move(item));
    } else {
      snapshot.skipped_.push_back(f);
    }
  }
  return snapshot;
}

bool ClipboardSnapshot::Restore(const OpenedClipboard& clipboard) {
  if (!clipboard || !::EmptyClipboard()) return false;
  for (Item& item : items_) {
    if (item.metafile) {
      if (::SetClipboardData(item.format, item.metafile.get())) item.metafile.release();
    } else if (::SetClipboardData(item.format, item.memory.get())) {
      item.memory.release();  // the clipboard's now
    }
  }
  items_.clear();
  return true;
}

std::vector<unsigned char> PackedDibOf(HBITMAP bitmap) {
  std::size_t room = 0x40000000;  // a gigabyte: more is not an image to keep in memory
  UniqueGlobal dib;
  if (PackDib(bitmap, room, dib) != Copy::kDone) return {};
  const LockedGlobal locked(dib.get());
  if (!locked) return {};
  const auto* first = static_cast<const unsigned char*>(locked.get());
  return std::vector<unsigned char>(first, first + ::GlobalSize(dib.get()));
}

namespace {

constexpr const wchar_t* kPasterClass = L"KeyEntryClipboardPaster";

// Puts the marks that keep a text out of clipboard history, the cloud
// clipboard and clipboard managers on the open clipboard.
bool PutPrivacyMarks() {
  static const wchar_t* const kMarks[] = {
      L"ExcludeClipboardContentFromMonitorProcessing",  // present: its content does not matter
      L"CanIncludeInClipboardHistory",                  // 0: not in clipboard history
      L"CanUploadToCloudClipboard",                     // 0: not to the cloud clipboard
  };
  const DWORD no = 0;
  for (const wchar_t* name : kMarks) {
    const UINT format = ::RegisterClipboardFormatW(name);
    if (format == 0 || !PutMemory(format, &no, sizeof no)) return false;
  }
  return true;
}

UINT PngFormat() {
  static const UINT format = ::RegisterClipboardFormatW(L"PNG");
  return format;
}

// Zeroes what the open clipboard holds already rendered of ours (the text,
// or the picture's two forms), before the clipboard lets go of it.
void WipeRenderedText() {
  for (const UINT format :
       {static_cast<UINT>(CF_UNICODETEXT), static_cast<UINT>(CF_DIB), PngFormat()}) {
    const HANDLE data = format ? ::GetClipboardData(format) : nullptr;
    if (!data) continue;
    const LockedGlobal locked(data);
    if (locked) ::SecureZeroMemory(locked.get(), ::GlobalSize(data));
  }
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  if (window) ::GetWindowThreadProcessId(window, &process);
  return process;
}

}  // namespace

ClipboardPaster::ClipboardPaster(const PasteTimings& timings, HANDLE stopEvent)
    : timings_(timings), stop_(stopEvent) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kPasterClass;
  ::RegisterClassW(&wc);  // the second time fails harmlessly: the class is there
  window_ = ::CreateWindowExW(0, kPasterClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, this);
}

ClipboardPaster::~ClipboardPaster() {
  // A text its target may still read stays until it is taken or its grace
  // time is over, also at the end (not cut short by the stop event).
  const ClipboardDecision held = hold_.BeforeOffer(Now());
  if (held.action == ClipboardAction::kWaitUntil) {
    WaitUntil([this] { return hold_.BeforeOffer(Now()).action != ClipboardAction::kWaitUntil; },
              MsUntil(held.until), false);
  }
  if (hold_.Pending()) PutBack(timings_.finalRestoreWaitMs);
  WipeText(text_);
  WipeImage();
  if (window_) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

LRESULT CALLBACK ClipboardPaster::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ClipboardPaster*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  return self->OnMessage(hwnd, msg, wParam, lParam);
}

LRESULT ClipboardPaster::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_RENDERFORMAT:
      // A program is taking the text now (the clipboard is open for it).
      if (isImage_ && (wParam == CF_DIB || (wParam == PngFormat() && wParam != 0))) {
        RenderImage(static_cast<UINT>(wParam));
      } else if (!isImage_ && wParam == CF_UNICODETEXT) {
        Render();
      }
      return 0;
    case WM_RENDERALLFORMATS:
      // The window goes while a promise stands (the clipboard stayed busy at
      // the end): it goes with the window, no card text is left behind.
      return 0;
    case WM_DESTROYCLIPBOARD:
      // Only an event: what it means is the hold's to decide.
      if (!emptyingOurselves_) hold_.On(ClipboardEvent::kReplaced, Now());
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

void ClipboardPaster::Render() {
  // Only our promise, not yet rendered, is asked for.
  if (hold_.Text() != OfferedText::kOffered && hold_.Text() != OfferedText::kAwaited) return;
  const std::size_t size = (text_.size() + 1) * sizeof(wchar_t);
  UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, size));
  {
    const LockedGlobal locked(memory.get());
    if (!locked) return;
    std::memcpy(locked.get(), text_.c_str(), size);
  }
  if (!::SetClipboardData(CF_UNICODETEXT, memory.get())) {
    const LockedGlobal locked(memory.get());
    if (locked) ::SecureZeroMemory(locked.get(), size);
    return;
  }
  memory.release();  // the clipboard's now
  renderedTick_ = Now();
  // The program that asked has the clipboard open, with a window of its own
  // as a rule; one without a window is not known to be the target.
  const DWORD asking = ProcessOf(::GetOpenClipboardWindow());
  const bool target = targetProcess_ != 0 && asking == targetProcess_;
  hold_.On(target ? ClipboardEvent::kTaken : ClipboardEvent::kRendered, renderedTick_);
}

void ClipboardPaster::RenderImage(UINT format) {
  // Each form once, while it is ours; the first one asked for is the take.
  bool& rendered = format == CF_DIB ? dibRendered_ : pngRendered_;
  const std::string& bytes = format == CF_DIB ? image_.dib : image_.png;
  if (rendered || bytes.empty()) return;
  UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  {
    const LockedGlobal locked(memory.get());
    if (!locked) return;
    std::memcpy(locked.get(), bytes.data(), bytes.size());
  }
  if (!::SetClipboardData(format, memory.get())) {
    const LockedGlobal locked(memory.get());
    if (locked) ::SecureZeroMemory(locked.get(), bytes.size());
    return;
  }
  memory.release();  // the clipboard's now
  rendered = true;
  if (hold_.Text() != OfferedText::kOffered && hold_.Text() != OfferedText::kAwaited) return;
  renderedTick_ = Now();
  const DWORD asking = ProcessOf(::GetOpenClipboardWindow());
  const bool target = targetProcess_ != 0 && asking == targetProcess_;
  hold_.On(target ? ClipboardEvent::kTaken : ClipboardEvent::kRendered, renderedTick_);
}

void ClipboardPaster::WipeImage() {
  WipeText(image_.dib);
  WipeText(image_.png);
  isImage_ = false;
  dibRendered_ = false;
  pngRendered_ = false;
}

bool ClipboardPaster::WaitUntil(const std::function<bool()>& done, DWORD ms, bool stoppable) {
  return ServeSentMessagesUntil(ms, stoppable ? stop_ : nullptr, done);
}

void ClipboardPaster::EmptyAsOwner() {
  emptyingOurselves_ = true;
  ::EmptyClipboard();
  emptyingOurselves_ = false;
}

bool ClipboardPaster::SupersededMeanwhile() const {
  // A program that put something newer on the clipboard wins, since that is
  // what the operator or that program wants there now, unless it merely put
  // the pasted text there again (as some remote-desktop clients do).
  return ::GetClipboardOwner() != window_ && (isImage_ || !UnicodeTextIs(text_));
}

bool ClipboardPaster::OursOnClipboard() const {
  return ::GetClipboardOwner() == window_ && hold_.Ours();
}

bool ClipboardPaster::OursRendered() const {
  const OfferedText text = hold_.Text();
  return OursOnClipboard() && (text == OfferedText::kReadEarly ||
                               text == OfferedText::kUnconfirmed || text == OfferedText::kTaken);
}

std::optional<PasteOutcome> ClipboardPaster::Place(const std::wstring* text,
                                                   const ClipboardImage* image) {
  try {
    // Every copy is made before anything changes.
    std::wstring next(text ? *text : std::wstring());
    const WipeAtExit<std::wstring> wipeNext(next);
    ClipboardImage nextImage = image ? *image : ClipboardImage{};
    const WipeAtExit<std::string> wipeDib(nextImage.dib);
    const WipeAtExit<std::string> wipePng(nextImage.png);
    const OpenedClipboard clipboard(window_, timings_.openWaitMs);
    if (!clipboard) return PasteOutcome::kBusy;  // nothing changed
    if (!saved_ || SupersededMeanwhile()) {
      const DWORD sequence = ::GetClipboardSequenceNumber();
      if (tooLargeSequence_ == sequence) return PasteOutcome::kTooLarge;
      // Our own text left from a burst whose old content was given up is
      // not saved: emptying the clipboard is what goes back then.
      std::optional<ClipboardSnapshot> snapshot =
          OursOnClipboard() ? std::optional<ClipboardSnapshot>(ClipboardSnapshot())
                            : ClipboardSnapshot::Save(clipboard, timings_.saveCapBytes);
      if (!snapshot) {
        // Too large: left alone, and not tried again until it changes.
        tooLargeSequence_ = sequence;
        return PasteOutcome::kTooLarge;
      }
      saved_ = std::move(snapshot);
      hold_.On(ClipboardEvent::kSaved, Now());
    }
    WipeText(text_);
    text_.swap(next);
    WipeImage();
    isImage_ = image != nullptr;
    image_.dib.swap(nextImage.dib);
    image_.png.swap(nextImage.png);
    targetProcess_ = 0;
    EmptyAsOwner();
    // The marks go first: the text is never there without them. A promise
    // (no data) gives no handle back; only the error tells a failure.
    const auto promise = [](UINT format) {
      ::SetLastError(ERROR_SUCCESS);
      return format != 0 &&
             (::SetClipboardData(format, nullptr), ::GetLastError()) == ERROR_SUCCESS;
    };
    const bool placed = PutPrivacyMarks() && (isImage_ ? promise(CF_DIB) && promise(PngFormat())
                                                       : promise(CF_UNICODETEXT));
    if (!placed) {
      // What was there goes back at once; if even that fails, later.
      emptyingOurselves_ = true;
      const bool back = saved_->Restore(clipboard);
      emptyingOurselves_ = false;
      if (back) saved_.reset();
      hold_.On(back ? ClipboardEvent::kRestored : ClipboardEvent::kRestoreFailed, Now());
      return PasteOutcome::kBusy;
    }
    hold_.On(ClipboardEvent::kOffered, Now());
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    // Out of memory while saving or copying: the clipboard is as it was.
    return PasteOutcome::kTooLarge;
  }
}

PasteOutcome ClipboardPaster::Offer(const std::wstring& text) {
  return OfferEither(&text, nullptr);
}

PasteOutcome ClipboardPaster::OfferImage(const ClipboardImage& image) {
  return OfferEither(nullptr, &image);
}

PasteOutcome ClipboardPaster::OfferEither(const std::wstring* text, const ClipboardImage* image) {
  if (!window_) return PasteOutcome::kBusy;
  // The text before may still be read by its target: a later one never
  // replaces it before it is taken or its grace time is over.
  const auto earlierHeld = [this] {
    return hold_.BeforeOffer(Now()).action == ClipboardAction::kWaitUntil;
  };
  const ClipboardDecision before = hold_.BeforeOffer(Now());
  if (before.action == ClipboardAction::kWaitUntil &&
      !WaitUntil([&] { return !earlierHeld(); }, MsUntil(before.until))) {
    return PasteOutcome::kStopped;
  }
  if (const std::optional<PasteOutcome> refused = Place(text, image)) return *refused;

  // A program that reads every new content at once does so now; Ctrl+V
  // follows its read by the settle time at least.
  const auto never = [] { return false; };
  if (!WaitUntil(never, timings_.settleMs)) return PasteOutcome::kStopped;
  if (hold_.Text() == OfferedText::kReadEarly) {
    const DWORD since = Now() - renderedTick_;
    if (since < timings_.settleMs && !WaitUntil(never, timings_.settleMs - since)) {
      return PasteOutcome::kStopped;
    }
  }
  return PasteOutcome::kOffered;
}

bool ClipboardPaster::StillOffered() {
  // A program that emptied the clipboard has told us so by now (its
  // WM_DESTROYCLIPBOARD is served here).
  WaitUntil([] { return true; }, 0, false);
  const OfferedText text = hold_.Text();
  return ::GetClipboardOwner() == window_ &&
         (text == OfferedText::kOffered || text == OfferedText::kReadEarly);
}

PasteOutcome ClipboardPaster::SendCtrlV(const std::function<void()>& sendCtrlV,
                                        DWORD targetProcess) {
  targetProcess_ = targetProcess ? targetProcess : ProcessOf(::GetForegroundWindow());
  hold_.On(ClipboardEvent::kCtrlVSent, Now());
  if (sendCtrlV) sendCtrlV();
  if (!WaitUntil([this] { return hold_.Text() != OfferedText::kAwaited; }, hold_.Times().graceMs)) {
    return PasteOutcome::kStopped;
  }
  switch (hold_.Text()) {
    case OfferedText::kTaken:
      return PasteOutcome::kTaken;
    case OfferedText::kUnconfirmed:
      return PasteOutcome::kUnconfirmed;
    default:
      return PasteOutcome::kNotTaken;
  }
}

PasteOutcome ClipboardPaster::Paste(const std::wstring& text,
                                    const std::function<void()>& sendCtrlV, DWORD targetProcess) {
  const PasteOutcome offered = Offer(text);
  if (offered != PasteOutcome::kOffered) return offered;
  if (!StillOffered()) return PasteOutcome::kBusy;
  return SendCtrlV(sendCtrlV, targetProcess);
}

ClipboardRestore ClipboardPaster::Restore(ClipboardAction what, DWORD waitMs) {
  if (what == ClipboardAction::kGiveUp && saved_) {
    saved_.reset();
    hold_.On(ClipboardEvent::kGaveUp, Now());
  }
  return PutBack(waitMs);
}

ClipboardRestore ClipboardPaster::PutBack(DWORD waitMs) {
  if (!saved_ && !hold_.Pending()) return ClipboardRestore::Restored;
  const OpenedClipboard clipboard(window_, waitMs);
  if (!clipboard) {
    hold_.On(ClipboardEvent::kRestoreFailed, Now());
    return ClipboardRestore::Failed;
  }
  ClipboardRestore result = ClipboardRestore::Restored;
  if (OursRendered()) WipeRenderedText();
  if (saved_) {
    if (SupersededMeanwhile()) {
      result = ClipboardRestore::Superseded;
    } else {
      emptyingOurselves_ = true;
      const bool back = saved_->Restore(clipboard);
      emptyingOurselves_ = false;
      if (!back) {
        hold_.On(ClipboardEvent::kRestoreFailed, Now());
        return ClipboardRestore::Failed;
      }
    }
    saved_.reset();
  } else if (OursOnClipboard() || (!text_.empty() && UnicodeTextIs(text_))) {
    // Given up: only our text, whoever put it there, goes.
    EmptyAsOwner();
  }
  WipeText(text_);
  WipeImage();
  hold_.On(ClipboardEvent::kRestored, Now());
  return result;
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text, DWORD timeoutMs) {
  const OpenedClipboard clipboard(owner, timeoutMs);
  return clipboard && ::EmptyClipboard() &&
         PutMemory(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool CopyImageToClipboard(HWND owner, const ClipboardImage& image, DWORD timeoutMs) {
  const OpenedClipboard clipboard(owner, timeoutMs);
  if (!clipboard || !::EmptyClipboard() || !PutMemory(CF_DIB, image.dib.data(), image.dib.size())) {
    return false;
  }
  // The PNG form is a bonus: the bitmap alone is a picture too.
  if (PngFormat() != 0) PutMemory(PngFormat(), image.png.data(), image.png.size());
  return true;
}

ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const PasteTimings& timings) {
  ClipboardPaster paster(timings);
  ClipboardPasteResult result;
  result.outcome = paster.Paste(text, sendCtrlV, ::GetCurrentProcessId());
  result.restore = paster.Restore(ClipboardAction::kRestoreNow, timings.restoreWaitMs);
  return result;
}

}  // namespace keyentry
