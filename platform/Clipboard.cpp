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

using Bytes = std::vector<unsigned char>;

std::optional<Bytes> ReadMemory(UINT format) {
  const HANDLE data = ::GetClipboardData(format);
  if (!data) return std::nullopt;
  const SIZE_T size = ::GlobalSize(data);
  const LockedGlobal locked(data);
  if (size == 0 || !locked) return std::nullopt;
  const auto* first = static_cast<const unsigned char*>(locked.get());
  return Bytes(first, first + size);
}

std::optional<Bytes> ReadEnhMetafile(UINT format) {
  const auto metafile = static_cast<HENHMETAFILE>(::GetClipboardData(format));
  const UINT size = metafile ? ::GetEnhMetaFileBits(metafile, 0, nullptr) : 0;
  if (size == 0) return std::nullopt;
  Bytes bytes(size);
  if (::GetEnhMetaFileBits(metafile, size, bytes.data()) != size) return std::nullopt;
  return bytes;
}

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

bool PutEnhMetafile(UINT format, const Bytes& bytes) {
  UniqueEnhMetafile metafile(::SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data()));
  if (!metafile || !::SetClipboardData(format, metafile.get())) return false;
  metafile.release();
  return true;
}

// Text of a clipboard text format, up to its terminating zero.
std::wstring WideText(const Bytes& bytes) {
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}
std::string NarrowText(const Bytes& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  return text.substr(0, text.find('\0'));
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
bool MadeFromUnicode(const Bytes& narrow, UINT format, const Bytes& unicode, LCID locale) {
  const std::wstring wide = WideText(unicode);
  const UINT codePage = CodePageFor(format, locale);
  std::string made;
  const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n > 0) {
    made.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &made[0], n,
                          nullptr, nullptr);
  }
  return made == NarrowText(narrow);
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

// Whether the open clipboard's Unicode text is this text.
bool UnicodeTextIs(const std::wstring& text) {
  const std::optional<Bytes> held = ReadMemory(CF_UNICODETEXT);
  return held && WideText(*held) == text.substr(0, text.find(L'\0'));
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

ClipboardSnapshot ClipboardSnapshot::Save(const OpenedClipboard& clipboard) {
  ClipboardSnapshot snapshot;
  if (!clipboard) return snapshot;
  std::vector<UINT> formats;
  for (UINT f = ::EnumClipboardFormats(0); f != 0; f = ::EnumClipboardFormats(f)) {
    formats.push_back(f);
  }
  const auto has = [&](UINT f) {
    return std::find(formats.begin(), formats.end(), f) != formats.end();
  };

  // Text: the Unicode form is kept; the system makes the ANSI and OEM forms
  // from it with the code pages of the clipboard's locale, so those are kept
  // only where that would not give back the same text.
  const std::optional<Bytes> unicode =
      has(CF_UNICODETEXT) ? ReadMemory(CF_UNICODETEXT) : std::nullopt;
  const std::optional<Bytes> localeBytes = has(CF_LOCALE) ? ReadMemory(CF_LOCALE) : std::nullopt;
  LCID locale = ::GetUserDefaultLCID();
  if (localeBytes && localeBytes->size() >= sizeof locale) {
    std::memcpy(&locale, localeBytes->data(), sizeof locale);
  }

  // An image: one device-independent form, the first listed (the one its
  // owner put there, or the first the system made from a bitmap); the system
  // makes the others from it. A lone bitmap is converted.
  std::optional<Item> image;
  for (const UINT f : formats) {
    if (f != CF_DIB && f != CF_DIBV5) continue;
    if (const auto bytes = ReadMemory(f)) {
      image = Item{f, false, *bytes};
      break;
    }
  }
  if (!image && has(CF_BITMAP)) {
    Bytes dib = PackedDibOf(static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP)));
    if (!dib.empty()) image = Item{CF_DIB, false, std::move(dib)};
  }
  bool imageTaken = false;

  for (const UINT f : formats) {
    std::optional<Bytes> bytes;
    bool enhancedMetafile = false;
    if (IsImageForm(f)) {
      if (imageTaken) continue;
      imageTaken = true;
      if (image) {
        snapshot.items_.push_back(*image);
      } else {
        snapshot.skipped_.push_back(f);
      }
      continue;
    }
    if (f == CF_METAFILEPICT && has(CF_ENHMETAFILE)) continue;  // made again from the new form
    if (CannotBeCopied(f)) {
      snapshot.skipped_.push_back(f);
      continue;
    }
    if (f == CF_UNICODETEXT) {
      bytes = unicode;
    } else if (f == CF_LOCALE) {
      bytes = localeBytes;
    } else if (f == CF_ENHMETAFILE || f == CF_DSPENHMETAFILE) {
      bytes = ReadEnhMetafile(f);
      enhancedMetafile = true;
    } else {
      bytes = ReadMemory(f);
      if (bytes && unicode && (f == CF_TEXT || f == CF_OEMTEXT) &&
          MadeFromUnicode(*bytes, f, *unicode, locale)) {
        continue;
      }
    }
    if (bytes) {
      snapshot.items_.push_back(Item{f, enhancedMetafile, std::move(*bytes)});
    } else {
      snapshot.skipped_.push_back(f);
    }
  }
  return snapshot;
}

bool ClipboardSnapshot::Restore(const OpenedClipboard& clipboard) const {
  if (!clipboard || !::EmptyClipboard()) return false;
  bool all = true;
  for (const Item& item : items_) {
    const bool put = item.enhancedMetafile
                         ? PutEnhMetafile(item.format, item.bytes)
                         : PutMemory(item.format, item.bytes.data(), item.bytes.size());
    all = all && put;
  }
  return all;
}

std::vector<unsigned char> PackedDibOf(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof info, &info) != sizeof info || info.bmWidth <= 0 ||
      info.bmHeight == 0) {
    return {};
  }
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  const std::uint64_t imageSize = std::uint64_t{4} * static_cast<std::uint64_t>(info.bmWidth) *
                                  static_cast<std::uint64_t>(height);
  if (imageSize > 0x40000000) return {};  // over a gigabyte: not an image to keep in memory
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = info.bmWidth;
  header.biHeight = height;  // bottom-up, as CF_DIB usually is
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(imageSize);
  Bytes dib(sizeof header + static_cast<std::size_t>(imageSize));
  std::memcpy(dib.data(), &header, sizeof header);
  const WindowDC screen(nullptr);
  if (!screen ||
      ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), dib.data() + sizeof header,
                  reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS) != height) {
    return {};
  }
  return dib;
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

// Zeroes the Unicode text the open clipboard holds already rendered (our
// text, before the clipboard lets go of it).
void WipeRenderedText() {
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  if (!data) return;
  const LockedGlobal locked(data);
  if (locked) ::SecureZeroMemory(locked.get(), ::GlobalSize(data));
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
  timings_.restoreWaitMs = timings_.finalRestoreWaitMs;
  if (saved_) Restore();
  if (offered_ && ::GetClipboardOwner() == window_) {
    // Our promise must not outlive the window: take it back.
    const OpenedClipboard clipboard(window_, timings_.restoreWaitMs);
    if (clipboard && ::GetClipboardOwner() == window_) EmptyAsOwner();
  }
  WipeText(text_);
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
      if (wParam == CF_UNICODETEXT) Render();
      return 0;
    case WM_RENDERALLFORMATS: {
      // The window goes while the promise stands: keep it.
      const OpenedClipboard clipboard(window_, timings_.restoreWaitMs);
      if (clipboard && ::GetClipboardOwner() == window_) Render();
      return 0;
    }
    case WM_DESTROYCLIPBOARD:
      if (!emptyingOurselves_) lostOwnership_ = true;
      offered_ = false;
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool ClipboardPaster::Render() {
  if (!offered_ || rendered_) return false;
  UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, (text_.size() + 1) * sizeof(wchar_t)));
  if (!memory) return false;
  {
    const LockedGlobal locked(memory.get());
    if (!locked) return false;
    std::memcpy(locked.get(), text_.c_str(), (text_.size() + 1) * sizeof(wchar_t));
  }
  if (!::SetClipboardData(CF_UNICODETEXT, memory.get())) {
    const LockedGlobal locked(memory.get());
    if (locked) ::SecureZeroMemory(locked.get(), (text_.size() + 1) * sizeof(wchar_t));
    return false;
  }
  memory.release();  // the clipboard's now
  rendered_ = true;
  renderedTick_ = ::GetTickCount();
  return true;
}

bool ClipboardPaster::Stopped() const {
  return stop_ && ::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0;
}

bool ClipboardPaster::WaitUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (Stopped()) return false;
    if (done()) return true;
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return true;
    ::MsgWaitForMultipleObjectsEx(stop_ ? 1 : 0, &stop_, ms - elapsed, QS_SENDMESSAGE, 0);
  }
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
  return ::GetClipboardOwner() != window_ && !UnicodeTextIs(text_);
}

PasteOutcome ClipboardPaster::Paste(const std::wstring& text,
                                    const std::function<void()>& sendCtrlV) {
  if (!window_) return PasteOutcome::kBusy;
  {
    const OpenedClipboard clipboard(window_, timings_.openWaitMs);
    if (!clipboard) return PasteOutcome::kBusy;  // nothing changed
    if (!saved_ || SupersededMeanwhile()) saved_ = ClipboardSnapshot::Save(clipboard);
    WipeText(text_);
    text_ = text;
    offered_ = false;
    rendered_ = false;
    lostOwnership_ = false;
    EmptyAsOwner();
    // The marks go first: the text is never there without them. A promise
    // (no data) gives no handle back; only the error tells a failure.
    ::SetLastError(ERROR_SUCCESS);
    const bool placed = PutPrivacyMarks() && (::SetClipboardData(CF_UNICODETEXT, nullptr),
                                              ::GetLastError()) == ERROR_SUCCESS;
    if (!placed) {
      // What was there goes back at once; if even that fails, later.
      emptyingOurselves_ = true;
      if (saved_->Restore(clipboard)) Forget();
      emptyingOurselves_ = false;
      return PasteOutcome::kBusy;
    }
    offered_ = true;
  }
  // A program that reads every new content at once does so now; Ctrl+V
  // follows its read by the settle time at least.
  if (!WaitUntil([] { return false; }, timings_.settleMs)) return PasteOutcome::kStopped;
  if (rendered_) {
    const DWORD since = ::GetTickCount() - renderedTick_;
    if (since < timings_.settleMs && !WaitUntil([] { return false; }, timings_.settleMs - since)) {
      return PasteOutcome::kStopped;
    }
  }
  const bool takenBefore = rendered_;
  if (sendCtrlV) sendCtrlV();
  const DWORD ctrlVTick = ::GetTickCount();
  lastPasteTick_ = ctrlVTick;
  lastTakeMs_ = 0;
  if (!takenBefore) {
    if (!WaitUntil([this] { return rendered_ || lostOwnership_; }, timings_.takeWaitMs)) {
      return PasteOutcome::kStopped;
    }
    if (rendered_) lastTakeMs_ = renderedTick_ - ctrlVTick;
  }
  lastPasteTick_ = ::GetTickCount();
  return rendered_ ? PasteOutcome::kTaken : PasteOutcome::kNotTaken;
}

ClipboardRestore ClipboardPaster::Restore() {
  if (!saved_) return ClipboardRestore::Restored;
  const OpenedClipboard clipboard(window_, timings_.restoreWaitMs);
  if (!clipboard) return ClipboardRestore::Failed;
  ClipboardRestore result = ClipboardRestore::Restored;
  if (SupersededMeanwhile()) {
    result = ClipboardRestore::Superseded;
  } else {
    if (rendered_ && ::GetClipboardOwner() == window_) WipeRenderedText();
    emptyingOurselves_ = true;
    if (!saved_->Restore(clipboard)) result = ClipboardRestore::Failed;
    emptyingOurselves_ = false;
  }
  offered_ = false;
  if (result != ClipboardRestore::Failed) Forget();
  return result;
}

void ClipboardPaster::Forget() {
  saved_.reset();
  WipeText(text_);
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text, DWORD timeoutMs) {
  const OpenedClipboard clipboard(owner, timeoutMs);
  return clipboard && ::EmptyClipboard() &&
         PutMemory(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const PasteTimings& timings) {
  ClipboardPaster paster(timings);
  ClipboardPasteResult result;
  result.outcome = paster.Paste(text, sendCtrlV);
  result.restore = paster.Restore();
  return result;
}

}  // namespace keyentry
