#include "platform/Clipboard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

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

bool PutPrivateText(const OpenedClipboard& clipboard, const std::wstring& text) {
  if (!clipboard || !::EmptyClipboard()) return false;
  // The marks go first: the text is never there without them.
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
  return PutMemory(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
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

PasteSession::PasteSession(HWND window, const ClipboardPasteOptions& options)
    : window_(window), options_(options) {}

void PasteSession::WaitForTheTarget() const {
  if (!pasted_) return;
  const DWORD since = ::GetTickCount() - lastCtrlVAt_;
  if (since < options_.readWaitMs) WaitServingSentMessages(options_.readWaitMs - since);
}

bool PasteSession::SupersededSinceLastPaste(const OpenedClipboard& clipboard) const {
  // A program that put something newer on the clipboard wins, since that is
  // what the operator or that program wants there now, unless it merely put
  // the pasted text there again (as some remote-desktop clients do).
  return ::GetClipboardOwner() != window_ && !(clipboard && UnicodeTextIs(lastText_));
}

bool PasteSession::Paste(const std::wstring& text, const std::function<void()>& sendCtrlV) {
  if (!window_) return false;
  WaitForTheTarget();
  {
    const OpenedClipboard clipboard(window_, options_.openTimeoutMs);
    if (!clipboard) return false;  // busy: nothing changed
    if (!saved_ || (pasted_ && SupersededSinceLastPaste(clipboard))) {
      saved_ = ClipboardSnapshot::Save(clipboard);
    }
    if (!PutPrivateText(clipboard, text)) {
      if (!saved_->Restore(clipboard)) {
        failed_ = std::move(saved_);
      }
      saved_.reset();
      pasted_ = false;
      return false;
    }
  }
  lastText_ = text;
  if (sendCtrlV) sendCtrlV();
  lastCtrlVAt_ = ::GetTickCount();
  pasted_ = true;
  return true;
}

ClipboardPasteResult PasteSession::Finish() {
  ClipboardPasteResult result;
  result.textPlaced = pasted_;
  if (saved_) {
    WaitForTheTarget();
    // A program that holds the clipboard for a moment (the target reading
    // it, a clipboard manager) is waited for.
    const OpenedClipboard clipboard(window_, options_.restoreTimeoutMs);
    if (pasted_ && SupersededSinceLastPaste(clipboard)) {
      result.restore = ClipboardRestore::Superseded;
    } else if (!clipboard || !saved_->Restore(clipboard)) {
      failed_ = std::move(saved_);
    }
    saved_.reset();
  }
  if (failed_) {
    result.restore = ClipboardRestore::Failed;
    result.unrestored = std::move(*failed_);
    failed_.reset();
  }
  pasted_ = false;
  return result;
}

ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const ClipboardPasteOptions& options) {
  std::optional<ClipboardWindow> ownWindow;
  HWND window = options.window;
  if (!window) window = ownWindow.emplace().get();
  if (!window) return {};
  PasteSession session(window, options);
  const bool placed = session.Paste(text, sendCtrlV);
  ClipboardPasteResult result = session.Finish();
  result.textPlaced = placed;
  return result;
}

}  // namespace keyentry
