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

// A packed device-independent bitmap of the bitmap (header and 32-bit
// pixels, bottom-up), as the clipboard holds an image in CF_DIB. Empty if the
// bitmap cannot be read.
std::vector<unsigned char> PackedDibOf(HBITMAP bitmap);

// How long pasting waits, and for what.
struct PasteTimings {
  DWORD openWaitMs = 500;  // for another program to close the clipboard
  // After the text is offered, before Ctrl+V: a program that reads every new
  // clipboard content at once (a remote-desktop client passing it on to the
  // far side) has read it by then, and Ctrl+V comes at least this long after
  // such a read. See docs/benchmarks.md for how long such a read takes.
  DWORD settleMs = 30;
  DWORD takeWaitMs = 1000;    // after Ctrl+V, for the target to take the text
  DWORD restoreWaitMs = 500;  // for the clipboard, when putting back what it held
  // ... at the end, when nothing else waits any more (the program's window
  // is gone by then).
  DWORD finalRestoreWaitMs = 5000;
};

enum class PasteOutcome {
  kTaken,     // the target (or a program reading every new content) took the text
  kNotTaken,  // Ctrl+V went out but nobody took the text within takeWaitMs
  kBusy,      // the clipboard stayed busy or refused the text: Ctrl+V was not sent
  kStopped,   // the stop event came first
};

enum class ClipboardRestore {
  Restored,    // what the clipboard held before is back
  Superseded,  // another program put something newer on it meanwhile; that stays
  Failed,      // the clipboard stayed busy or refused a format: tried again later
};

// The clipboard of a thread that types by pasting, one text after the other
// (a burst): what the clipboard held is saved at the first paste and put back
// once, when the caller says so (Restore), by the destructor at the latest.
//
// Each text is offered with delayed rendering: the clipboard holds only the
// promise of Unicode text (marked to stay out of clipboard history, the cloud
// clipboard and clipboard managers), and the system asks this object for the
// text (WM_RENDERFORMAT) at the moment a program takes it. So a paste knows
// when the target has read its text, carries on right then, and a later text
// can never be pasted in place of an earlier one; a target that ignores
// Ctrl+V holds the paste for takeWaitMs at most.
//
// The thread that makes the object owns its message-only window; every wait
// serves the messages other programs send it (their requests for the text).
class ClipboardPaster {
 public:
  // stopEvent: a manual-reset event that cuts every wait short (may be null).
  explicit ClipboardPaster(const PasteTimings& timings = {}, HANDLE stopEvent = nullptr);
  // Puts back what the clipboard held, if it still waits to go back.
  ~ClipboardPaster();
  ClipboardPaster(const ClipboardPaster&) = delete;
  ClipboardPaster& operator=(const ClipboardPaster&) = delete;

  // Offers the text, waits the settle time, calls sendCtrlV (the caller's
  // input path) and waits until the text has been taken.
  PasteOutcome Paste(const std::wstring& text, const std::function<void()>& sendCtrlV);

  // Whether the clipboard's old content waits to go back, and since when
  // (the tick count of the last paste).
  bool Holding() const { return saved_.has_value(); }
  DWORD LastPasteTick() const { return lastPasteTick_; }
  // How long after Ctrl+V the last text was taken (0 when it was not, or was
  // taken before Ctrl+V).
  DWORD LastTakeMs() const { return lastTakeMs_; }

  // Puts back what the clipboard held before the burst, unless another
  // program has put something newer there since (that stays; a program that
  // merely put the pasted text there again does not count). Decided once the
  // clipboard is open. Failed: the clipboard stayed busy for restoreWaitMs;
  // the old content still waits, for the next call.
  ClipboardRestore Restore();
  // Gives up putting back (the old content is forgotten).
  void Forget();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool Render();
  // Serves sent messages until done() holds, ms pass or the stop event comes;
  // false when stopped.
  bool WaitUntil(const std::function<bool()>& done, DWORD ms);
  bool Stopped() const;
  bool SupersededMeanwhile() const;
  void EmptyAsOwner();

  PasteTimings timings_;
  HANDLE stop_;
  HWND window_ = nullptr;
  std::optional<ClipboardSnapshot> saved_;  // what the clipboard held before the burst
  std::wstring text_;                       // the text offered now
  bool offered_ = false;                    // our promise is on the clipboard
  bool rendered_ = false;                   // and has been taken
  bool emptyingOurselves_ = false;
  bool lostOwnership_ = false;  // another program emptied the clipboard
  DWORD renderedTick_ = 0;
  DWORD lastPasteTick_ = 0;
  DWORD lastTakeMs_ = 0;
};

// Puts the text on the clipboard as plain Unicode text, for the operator to
// paste elsewhere (waits up to timeoutMs for another program to let go of
// the clipboard). False when it could not.
bool CopyTextToClipboard(HWND owner, const std::wstring& text, DWORD timeoutMs = 1000);

// One paste on the calling thread, then the old content put back: for tests
// and measurements of the clipboard alone.
struct ClipboardPasteResult {
  PasteOutcome outcome = PasteOutcome::kBusy;
  ClipboardRestore restore = ClipboardRestore::Restored;
};
ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const PasteTimings& timings = {});

}  // namespace keyentry
