#pragma once
// The clipboard for typing by pasting: opening it while other programs may
// hold it, saving everything it holds that can be saved and putting it back,
// and text placed so that clipboard history, the cloud clipboard and
// clipboard managers leave it out.
//
// All of this waits (for the clipboard, for the target to read it, for a
// program that renders a format on demand), so it runs on a worker thread,
// never inside the keyboard hook callback.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace keyentry {

// A message-only window of the calling thread, to own the clipboard while the
// thread works with it. Destroyed on the same thread.
class ClipboardWindow {
 public:
  ClipboardWindow();
  ~ClipboardWindow();
  ClipboardWindow(const ClipboardWindow&) = delete;
  ClipboardWindow& operator=(const ClipboardWindow&) = delete;

  HWND get() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
};

// The clipboard, opened for a window of the calling thread and closed at the
// end of the scope.
class OpenedClipboard {
 public:
  // Tries again while another program holds the clipboard open, for up to
  // timeoutMs in all; messages sent to this thread's windows are served
  // meanwhile.
  OpenedClipboard(HWND window, DWORD timeoutMs);
  ~OpenedClipboard();
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

// What the clipboard held, as plain bytes: it stays valid whatever happens to
// the clipboard afterwards.
class ClipboardSnapshot {
 public:
  struct Item {
    UINT format = 0;
    bool enhancedMetafile = false;  // bytes of an enhanced metafile, not of a memory block
    std::vector<unsigned char> bytes;
  };

  // Reads every format of the open clipboard that can be saved, in the order
  // the clipboard lists them. Left out: forms the system makes again from a
  // saved one with the same content (ANSI and OEM text made from Unicode
  // text, the device-dependent bitmap and the second device-independent form
  // of an image, the old metafile form), and what cannot be copied (palettes,
  // owner-drawn and private formats, GDI objects); these are listed in
  // Skipped(), as is a format whose data could not be read.
  static ClipboardSnapshot Save(const OpenedClipboard& clipboard);

  // Empties the open clipboard and puts every saved format back. False if a
  // format could not be put back (the others are there).
  bool Restore(const OpenedClipboard& clipboard) const;

  const std::vector<Item>& Items() const { return items_; }
  const std::vector<UINT>& Skipped() const { return skipped_; }
  bool Empty() const { return items_.empty(); }

 private:
  std::vector<Item> items_;
  std::vector<UINT> skipped_;
};

// Empties the open clipboard and puts the text on it as Unicode text, marked
// to stay out of clipboard history, the cloud clipboard and clipboard
// managers. False (and possibly a clipboard without the text) on failure.
bool PutPrivateText(const OpenedClipboard& clipboard, const std::wstring& text);

// A packed device-independent bitmap of the bitmap (header and 32-bit
// pixels, bottom-up), as the clipboard holds an image in CF_DIB. Empty if the
// bitmap cannot be read.
std::vector<unsigned char> PackedDibOf(HBITMAP bitmap);

struct ClipboardPasteOptions {
  // A window of the calling thread to own the clipboard; none: a message-only
  // window of this module, made for the one paste.
  HWND window = nullptr;
  DWORD openTimeoutMs = 500;      // waiting for another program to close the clipboard
  DWORD readWaitMs = 300;         // after Ctrl+V, time for the target to read the text
  DWORD restoreTimeoutMs = 5000;  // waiting for the clipboard to put back what it held
};

enum class ClipboardRestore {
  Restored,    // what the clipboard held before is back
  Superseded,  // another program put something newer on it meanwhile; that stays
  Failed,      // the clipboard stayed busy or refused a format: see `unrestored`
};

struct ClipboardPasteResult {
  // False: the clipboard was busy or refused the text; Ctrl+V was not sent
  // and the text must be typed another way.
  bool textPlaced = false;
  ClipboardRestore restore = ClipboardRestore::Restored;
  // On Failed: what the clipboard held before, to put back later.
  ClipboardSnapshot unrestored;
};

// Several pastes in a row, as a template types its texts between key presses:
// what the clipboard held is saved at the first paste and put back once at
// the end, and after each Ctrl+V the target gets readWaitMs to read the text
// before the clipboard changes again (the next paste, or putting back). Used
// on one thread; `window` must belong to it.
class PasteSession {
 public:
  PasteSession(HWND window, const ClipboardPasteOptions& options);
  PasteSession(const PasteSession&) = delete;
  PasteSession& operator=(const PasteSession&) = delete;

  // Opens the clipboard (waiting up to openTimeoutMs), saves what it holds
  // at the first paste (again when another program has put something newer
  // there since the last one), puts the text privately, closes it and calls
  // sendCtrlV. False when the clipboard was busy or refused the text: then
  // Ctrl+V was not sent and the text must be typed another way.
  bool Paste(const std::wstring& text, const std::function<void()>& sendCtrlV);

  // Waits until the target has had its time to read the last text, then
  // puts back what was saved unless another program has put something newer
  // on the clipboard meanwhile. textPlaced: whether a text of this session
  // is on the clipboard (or was, until another program replaced it).
  ClipboardPasteResult Finish();

 private:
  void WaitForTheTarget() const;
  bool SupersededSinceLastPaste(const OpenedClipboard& clipboard) const;

  HWND window_;
  ClipboardPasteOptions options_;
  std::optional<ClipboardSnapshot> saved_;   // what to put back at the end
  std::optional<ClipboardSnapshot> failed_;  // could not be put back
  std::wstring lastText_;
  DWORD lastCtrlVAt_ = 0;
  bool pasted_ = false;  // the clipboard holds our text, and Ctrl+V went out
};

// The whole paste: opens the clipboard (waiting for up to openTimeoutMs),
// saves what it holds, puts the text privately, closes it, calls sendCtrlV
// (the caller's input path), waits readWaitMs, then puts back what was saved
// unless another program has put something newer there meanwhile.
ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const ClipboardPasteOptions& options = {});

}  // namespace keyentry
