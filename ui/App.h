#pragma once
// The running program: the platform services, the shared state and the
// windows. The process ends when its last window has closed.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/Maths.h"
#include "core/SelfCheck.h"
#include "platform/ForegroundProgram.h"
#include "platform/LowLevelKeyboardHook.h"
#include "platform/ReaderDll.h"
#include "platform/ReaderService.h"
#include "platform/SendStrDll.h"
#include "platform/Win32FileStore.h"
#include "platform/Win32MessageSink.h"
#include "platform/Win32Text.h"
#include "reader/Reading.h"
#include "ui/Controls.h"

namespace keyentry {

class Form1;
class frmOptions;
class frmSelfCheck;

class App {
 public:
  // readerOverride: a reader library to use instead of ostra.dll in its
  // helper process, called on the interface thread (for measurements in a
  // test harness); null in the program.
  explicit App(HINSTANCE instance, ReaderLibrary* readerOverride = nullptr);
  ~App();

  // Creates, loads and shows the main window, then serves messages until
  // the last window has closed.
  int Run(int showCommand);
  // The first half of Run: false when the main window could not be made.
  bool Start(int showCommand);
  HWND MainWindow() const;

  HINSTANCE Instance() const { return instance_; }
  Maths& maths() { return maths_; }
  const Maths& maths() const { return maths_; }
  // What the card poll reads through.
  const ReadingPorts& CardReading() const { return reading_; }
  FileStore& Files() { return files_; }
  MessageSink& Messages() { return messages_; }
  // The program's folder, without a trailing separator.
  const std::wstring& Folder() const { return folder_; }
  bool IsDialogMessageForOurWindows(MSG& msg);
  int Dpi() const { return dpi_; }
  // Hidden top-level window that owns the key settings window, so that it
  // has no taskbar button and does not depend on the main window. Made when
  // first needed.
  HWND OwnerWindow();

  // Opens the key settings window, or brings it forward when it is open.
  void ShowOptions();
  // Closes the key settings window when it is open.
  void CloseOptions();
  // Opens the self-check window, or brings it forward when it is open; and
  // closes it.
  void ShowSelfCheck();
  void CloseSelfCheck();

  // What the self-check shows besides the shared state.
  LowLevelKeyboardHook& Hook() { return hook_; }
  LibraryFacts ReaderFacts() const { return readerService_->Facts().library; }
  ReaderHelperFacts ReaderHelper() const { return readerService_->Facts(); }
  // The reader, asked without waiting on it.
  ReaderService& Reader() { return *readerService_; }
  LibraryFacts SendStrFacts() const { return sender_.Facts(); }
  // Whether the card poll runs (the read button says 停止读卡).
  bool ReadingOn() const;
  // Notes the program in the foreground when it is not this one: called as
  // our windows lose the foreground and at the main window's clock tick.
  void NoteForegroundProgram();
  // The executable name of the last other program noted in the foreground:
  // the one the operator came from ("" when its name could not be found
  // out; nothing when none is known).
  const std::optional<std::wstring>& ProgramBefore() const { return programBefore_; }

  // Registers the window class of a window owned by an object of type T (see
  // ForwardToOwner): the program's icons, the arrow cursor, this background.
  template <typename T>
  void RegisterWindowClass(const wchar_t* className, HBRUSH background) const {
    RegisterWindowClass(className, &ForwardToOwner<T>, background);
  }
  // A window of the program has been made, or is being destroyed (at its
  // WM_DESTROY): then it no longer reaches its object, the object forgets
  // its handle, and the program ends with its last window.
  void WindowOpened(HWND window);
  void WindowDestroyed(HWND& handle);

 private:
  void RegisterWindowClass(const wchar_t* className, WNDPROC windowProc, HBRUSH background) const;

  HINSTANCE instance_;
  std::wstring folder_;
  // Where the user's SetKey.txt, shared copy and card files go
  // (platform/DataFolder.h): the program folder for a zip copy.
  std::wstring dataFolder_;
  AnsiCodePage codec_;
  CodePage936 settingsCodec_;
  Win32FileStore files_;
  Win32MessageSink messages_;
  // What the core would call directly: in the program nothing, since the
  // library lives in the helper process (the calls go through Reader()).
  std::unique_ptr<ReaderLibrary> readerElsewhere_;
  ReaderLibrary& reader_;
  std::unique_ptr<ReaderService> readerService_;
  SendStrDll sender_;
  HookTableStore tables_;
  LowLevelKeyboardHook hook_;
  Maths maths_;
  ReadingPorts reading_;
  int dpi_ = 96;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND owner_ = nullptr;
  HWND windows_[3] = {nullptr, nullptr, nullptr};
  int openWindows_ = 0;
  ProgramNames programNames_;  // interface thread
  std::optional<std::wstring> programBefore_;
  std::unique_ptr<Form1> form1_;
  std::unique_ptr<frmOptions> options_;
  std::unique_ptr<frmSelfCheck> selfCheck_;
};

}  // namespace keyentry
