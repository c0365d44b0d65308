#pragma once
// What the program's windows (Form1, frmOptions, frmSelfCheck) ask of the
// running program: its services and shared state, the other windows, and
// the bookkeeping of open windows. ui/App implements it and owns the
// windows; the windows know only this, so that the dependency runs one way.
#include <windows.h>

#include <optional>
#include <string>

#include "core/FileStore.h"
#include "core/Maths.h"
#include "core/MessageSink.h"
#include "core/SelfCheck.h"
#include "platform/LowLevelKeyboardHook.h"
#include "platform/ReaderService.h"
#include "reader/Reading.h"
#include "ui/Controls.h"

namespace keyentry {

class WindowHost {
 public:
  virtual HINSTANCE Instance() const = 0;
  virtual int Dpi() const = 0;
  virtual Maths& maths() = 0;
  virtual const Maths& maths() const = 0;
  // What the card poll reads through.
  virtual const ReadingPorts& CardReading() const = 0;
  virtual FileStore& Files() = 0;
  virtual MessageSink& Messages() = 0;
  // The program's folder, without a trailing separator.
  virtual const std::wstring& Folder() const = 0;

  // Hidden top-level window that owns the key settings and self-check
  // windows, so that they have no taskbar button and do not depend on the
  // main window. Made when first needed.
  virtual HWND OwnerWindow() = 0;
  // Opens the key settings window, or brings it forward when it is open.
  virtual void ShowOptions() = 0;
  // Closes the key settings window when it is open.
  virtual void CloseOptions() = 0;
  // Opens the self-check window, or brings it forward when it is open; and
  // closes it.
  virtual void ShowSelfCheck() = 0;
  virtual void CloseSelfCheck() = 0;

  // What the self-check shows besides the shared state.
  virtual LowLevelKeyboardHook& Hook() = 0;
  virtual LibraryFacts ReaderFacts() const = 0;
  virtual ReaderHelperFacts ReaderHelper() const = 0;
  // The reader, asked without waiting on it.
  virtual ReaderService& Reader() = 0;
  virtual LibraryFacts SendStrFacts() const = 0;
  // Whether the card poll runs (the read button says 停止读卡).
  virtual bool ReadingOn() const = 0;
  // Notes the program in the foreground when it is not this one: called as
  // our windows lose the foreground and at the main window's clock tick.
  virtual void NoteForegroundProgram() = 0;
  // The executable name of the last other program noted in the foreground:
  // the one the operator came from ("" when its name could not be found
  // out; nothing when none is known).
  virtual const std::optional<std::wstring>& ProgramBefore() const = 0;

  // Registers the window class of a window owned by an object of type T (see
  // ForwardToOwner): the program's icons, the arrow cursor, this background.
  template <typename T>
  void RegisterWindowClass(const wchar_t* className, HBRUSH background) const {
    RegisterWindowProc(className, &ForwardToOwner<T>, background);
  }
  // A window of the program has been made, or is being destroyed (at its
  // WM_DESTROY): then it no longer reaches its object, the object forgets
  // its handle, and the program ends with its last window.
  virtual void WindowOpened(HWND window) = 0;
  virtual void WindowDestroyed(HWND& handle) = 0;

 protected:
  WindowHost() = default;
  ~WindowHost() = default;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;
  virtual void RegisterWindowProc(const wchar_t* className, WNDPROC windowProc,
                                  HBRUSH background) const = 0;
};

}  // namespace keyentry
