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
#include "ui/WindowHost.h"

namespace keyentry {

class Form1;
class frmOptions;
class frmSelfCheck;

class App final : public WindowHost {
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
  bool IsDialogMessageForOurWindows(MSG& msg);

  // What the windows ask of the program (ui/WindowHost.h).
  HINSTANCE Instance() const override { return instance_; }
  int Dpi() const override { return dpi_; }
  Maths& maths() override { return maths_; }
  const Maths& maths() const override { return maths_; }
  const ReadingPorts& CardReading() const override { return reading_; }
  FileStore& Files() override { return files_; }
  MessageSink& Messages() override { return messages_; }
  const std::wstring& Folder() const override { return folder_; }
  HWND OwnerWindow() override;
  void ShowOptions() override;
  void CloseOptions() override;
  void ShowSelfCheck() override;
  void CloseSelfCheck() override;
  LowLevelKeyboardHook& Hook() override { return hook_; }
  LibraryFacts ReaderFacts() const override { return readerService_->Facts().library; }
  ReaderHelperFacts ReaderHelper() const override { return readerService_->Facts(); }
  ReaderService& Reader() override { return *readerService_; }
  LibraryFacts SendStrFacts() const override { return sender_.Facts(); }
  bool ReadingOn() const override;
  void NoteForegroundProgram() override;
  const std::optional<std::wstring>& ProgramBefore() const override { return programBefore_; }
  void WindowOpened(HWND window) override;
  void WindowDestroyed(HWND& handle) override;

 private:
  void RegisterWindowProc(const wchar_t* className, WNDPROC windowProc,
                          HBRUSH background) const override;

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
