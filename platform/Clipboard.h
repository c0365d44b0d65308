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

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/ClipboardHold.h"
#include "platform/Handles.h"

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

// What the clipboard held, in memory of this program's own: it stays valid
// whatever happens to the clipboard afterwards.
class ClipboardSnapshot {
 public:
  struct Item {
    UINT format = 0;
    UniqueGlobal memory;         // a memory block, or
    UniqueEnhMetafile metafile;  // an enhanced metafile
  };

  // Copies every format of the open clipboard that can be saved, in the
  // order the clipboard lists them, each once, into memory of its own (moved
  // back onto the clipboard by Restore, not copied again). Left out: forms
  // the system makes again from a saved one with the same content (ANSI and
  // OEM text made from Unicode text, the device-dependent bitmap and the
  // second device-independent form of an image, the old metafile form), and
  // what cannot be copied (palettes, owner-drawn and private formats, GDI
  // objects); these are listed in Skipped(), as is a format whose data could
  // not be read. Nothing when the copies would take more than capBytes, or
  // memory for them runs out: such a clipboard is better left alone.
  static std::optional<ClipboardSnapshot> Save(const OpenedClipboard& clipboard,
                                               std::size_t capBytes);

  // Empties the open clipboard and moves every saved format onto it; the
  // snapshot is empty afterwards. False when the clipboard could not be
  // emptied (then nothing has moved). A format the system refuses (out of
  // memory) is lost: trying again would empty what is back already.
  bool Restore(const OpenedClipboard& clipboard);

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
  DWORD restoreWaitMs = 500;  // for the clipboard, when putting back what it held
  // ... at the end, when nothing else waits any more (the program's window
  // is gone by then).
  DWORD finalRestoreWaitMs = 5000;
  // The most the saved content may take. 64 MB holds a screenshot of a 4K
  // screen (33 MB as a device-independent bitmap) with room to spare. More
  // would take a large share of a 32-bit process's 2 GB of address space
  // (the system's copy it hands this process and ours, at once), whose
  // largest free blocks are often only a few hundred MB. A clipboard holding
  // more is left alone, and the text goes as Unicode events instead.
  std::size_t saveCapBytes = std::size_t{64} << 20;
};

enum class ClipboardRestore {
  Restored,    // what the clipboard held before is back
  Superseded,  // another program put something newer on it meanwhile; that stays
  Failed,      // the clipboard stayed busy: tried again later
};

// The clipboard of a thread that types by pasting, one text after the other
// (a burst): what the clipboard held is saved at the first paste and put back
// once, when core/ClipboardHold.h decides (the caller asks Hold() and calls
// Restore), by the destructor at the latest.
//
// Each text is offered with delayed rendering: the clipboard holds only the
// promise of Unicode text (marked to stay out of clipboard history, the cloud
// clipboard and clipboard managers), and the system asks this object for the
// text (WM_RENDERFORMAT) at the moment a program takes it. When the target's
// own process asks after Ctrl+V, the paste knows its text arrived and
// carries on. When another program asked first, the text stays on the
// clipboard for the grace time after Ctrl+V: neither the old content nor a
// later text replaces it meanwhile. Every event goes to Hold(); this class
// keeps no flags of its own about the text.
//
// The thread that makes the object owns its message-only window; every wait
// serves the messages other programs send it (their requests for the text).
// A picture to paste: as a packed device-independent bitmap (CF_DIB) and
// as a PNG file (the registered format "PNG"), both offered at once.
struct ClipboardImage {
  std::string dib;
  std::string png;
};

class ClipboardPaster {
 public:
  // stopEvent: a manual-reset event that cuts every wait short (may be null).
  explicit ClipboardPaster(const PasteTimings& timings = {}, HANDLE stopEvent = nullptr);
  // Waits (serving requests) while a text may still be read by its target,
  // then puts back what the clipboard held, if it still waits to go back.
  ~ClipboardPaster();
  ClipboardPaster(const ClipboardPaster&) = delete;
  ClipboardPaster& operator=(const ClipboardPaster&) = delete;

  // A paste in two halves, so that the entry's run (core/EntryRun.h) checks
  // the focus and the clipboard in between. Offer: waits while the text
  // before may still be read by its target, offers the text and waits the
  // settle time (kOffered, kBusy, kTooLarge or kStopped).
  PasteOutcome Offer(const std::wstring& text);
  // The same for a picture, under the same rules (its old content saved and
  // put back, the take awaited).
  PasteOutcome OfferImage(const ClipboardImage& image);
  // Whether the text offered last is still on the clipboard, ours: another
  // program may have replaced it meanwhile.
  bool StillOffered();
  // Calls sendCtrlV (the caller's input path) and waits until the text has
  // been taken, at most the grace time (kTaken, kUnconfirmed, kNotTaken or
  // kStopped). targetProcess: the process whose request counts as the
  // target's (0: that of the foreground window).
  PasteOutcome SendCtrlV(const std::function<void()>& sendCtrlV, DWORD targetProcess = 0);
  // Both halves at once, for tests of the clipboard alone: Ctrl+V only while
  // the text is still ours (else kBusy).
  PasteOutcome Paste(const std::wstring& text, const std::function<void()>& sendCtrlV,
                     DWORD targetProcess = 0);

  // The decision of when the old content goes back, fed with the paster's
  // events; the caller adds its own (entries, what is ahead), and asks
  // Hold().Pending() whether anything waits to go.
  ClipboardHold& Hold() { return hold_; }
  const PasteTimings& Timings() const { return timings_; }

  // The one way the old content goes: does what the hold decided (`what`),
  // waiting up to waitMs for a busy clipboard.
  //   kRestoreNow: puts back what the clipboard held before the burst, unless
  //     another program has put something newer there since (that stays; a
  //     program that merely put the pasted text there again does not count);
  //   kGiveUp: forgets the old content, and empties the clipboard if it still
  //     holds our text.
  // Failed: the clipboard stayed busy; what was to go still waits.
  ClipboardRestore Restore(ClipboardAction what, DWORD waitMs);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Saves the old content if need be and puts the text on the clipboard;
  // nothing when it is there, else why not.
  PasteOutcome OfferEither(const std::wstring* text, const ClipboardImage* image);
  std::optional<PasteOutcome> Place(const std::wstring* text, const ClipboardImage* image);
  void Render();
  void RenderImage(UINT format);
  void WipeImage();
  ClipboardRestore PutBack(DWORD waitMs);
  // Serves sent messages until done() holds, ms pass or (if stoppable) the
  // stop event comes; false when stopped.
  bool WaitUntil(const std::function<bool()>& done, DWORD ms, bool stoppable = true);
  bool SupersededMeanwhile() const;
  bool OursOnClipboard() const;
  bool OursRendered() const;
  void EmptyAsOwner();

  PasteTimings timings_;
  HANDLE stop_;
  HWND window_ = nullptr;
  ClipboardHold hold_;
  std::optional<ClipboardSnapshot> saved_;  // what the clipboard held before the burst
  std::wstring text_;                       // the text offered last
  ClipboardImage image_;                    // ... or the picture (isImage_)
  bool isImage_ = false;
  bool dibRendered_ = false;
  bool pngRendered_ = false;
  DWORD targetProcess_ = 0;  // whose request after Ctrl+V is the take
  DWORD renderedTick_ = 0;
  bool emptyingOurselves_ = false;  // our own EmptyClipboard: not another program's
  // The clipboard's sequence number when its content was found too large to
  // save: not tried again until it changes.
  std::optional<DWORD> tooLargeSequence_;
};

// Puts the text on the clipboard as plain Unicode text, for the operator to
// paste elsewhere (waits up to timeoutMs for another program to let go of
// the clipboard). False when it could not.
bool CopyTextToClipboard(HWND owner, const std::wstring& text, DWORD timeoutMs = 1000);
// The same for a picture, in both its forms.
bool CopyImageToClipboard(HWND owner, const ClipboardImage& image, DWORD timeoutMs = 1000);

// One paste on the calling thread, then the old content put back at once:
// for tests and measurements of the clipboard alone. A request from the
// calling process after Ctrl+V counts as the target's.
struct ClipboardPasteResult {
  PasteOutcome outcome = PasteOutcome::kBusy;
  ClipboardRestore restore = ClipboardRestore::Restored;
};
ClipboardPasteResult PasteThroughClipboard(const std::wstring& text,
                                           const std::function<void()>& sendCtrlV,
                                           const PasteTimings& timings = {});

}  // namespace keyentry
