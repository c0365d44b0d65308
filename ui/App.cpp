#include "ui/App.h"

#include <utility>

#include "core/Texts.h"
#include "platform/DataFolder.h"
#include "platform/MessagePump.h"
#include "platform/PhotoStore.h"
#include "ui/Controls.h"
#include "ui/Form1.h"
#include "ui/frmOptions.h"
#include "ui/frmSelfCheck.h"
#include "ui/res/resource.h"

namespace keyentry {

namespace {
constexpr const wchar_t* kOwnerClass = L"KeyEntryOwner";

// The library is not in this process: a direct call finds none.
class ReaderElsewhere : public ReaderLibrary {
 public:
  std::int32_t InitComm(std::int32_t) override { return Fail(); }
  std::int32_t Authenticate() override { return Fail(); }
  std::int32_t ReadContent(std::int32_t) override { return Fail(); }
  std::int32_t CloseComm() override { return Fail(); }

 private:
  static std::int32_t Fail() { throw ReaderLibraryError("the reader library is in its helper"); }
};
}  // namespace

App::App(HINSTANCE instance, ReaderLibrary* readerOverride)
    : instance_(instance),
      folder_(ProgramFolder()),
      dataFolder_(UserDataFolder(folder_)),
      readerElsewhere_(std::make_unique<ReaderElsewhere>()),
      reader_(readerOverride ? *readerOverride : *readerElsewhere_),
      readerService_(readerOverride
                         ? std::unique_ptr<ReaderService>(new InlineReaderService(*readerOverride))
                         : std::unique_ptr<ReaderService>(new HelperReaderService(folder_))),
      sender_(folder_),
      hook_(tables_, sender_),
      maths_(CorePorts{reader_, hook_, files_, codec_, messages_, settingsCodec_}, folder_,
             tables_),
      reading_{reader_, files_, codec_, folder_, dataFolder_} {
  maths_.SetDataFolder(dataFolder_);
}

App::~App() {
  selfCheck_.reset();
  options_.reset();
  form1_.reset();
  readerService_->Shutdown();
  hook_.Remove();
  if (owner_) ::DestroyWindow(owner_);
}

int App::Run(int showCommand) {
  if (!Start(showCommand)) return 1;
  RunMessageLoop([this](MSG& msg) { return IsDialogMessageForOurWindows(msg); });
  PhotoStore::Instance().DeleteAll();
  return 0;
}

HWND App::MainWindow() const { return form1_ ? form1_->Handle() : nullptr; }

bool App::Start(int showCommand) {
  Win32FileStore::RemoveOrphanedScratchFiles(folder_);
  if (dataFolder_ != folder_) Win32FileStore::RemoveOrphanedScratchFiles(dataFolder_);
  // Photo files an earlier run left behind (a crash) are card data.
  PhotoStore::Instance().DeleteLeftovers();
  dpi_ = SystemDpi();
  icon_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KEYENTRY), IMAGE_ICON,
                                          ::GetSystemMetrics(SM_CXICON),
                                          ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  smallIcon_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KEYENTRY),
                                               IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                               ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));

  form1_ = std::make_unique<Form1>(*this);
  return form1_->Create(showCommand);
}

bool App::IsDialogMessageForOurWindows(MSG& msg) {
  for (HWND window : windows_) {
    if (window && (msg.hwnd == window || ::IsChild(window, msg.hwnd)) &&
        ::IsDialogMessageW(window, &msg)) {
      return true;
    }
  }
  return false;
}

HWND App::OwnerWindow() {
  if (owner_) return owner_;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance_;
  wc.lpszClassName = kOwnerClass;
  ::RegisterClassExW(&wc);
  owner_ = ::CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_,
                             nullptr);
  return owner_;
}

void App::ShowOptions() {
  if (!options_) options_ = std::make_unique<frmOptions>(*this);
  options_->ShowModeless();
}

void App::CloseOptions() {
  if (options_) options_->Close();
}

void App::ShowSelfCheck() {
  // Opened by a site script while another program is in front: that one.
  NoteForegroundProgram();
  if (!selfCheck_) selfCheck_ = std::make_unique<frmSelfCheck>(*this);
  selfCheck_->ShowModeless();
}

void App::CloseSelfCheck() {
  if (selfCheck_) selfCheck_->Close();
}

bool App::ReadingOn() const {
  return form1_ && form1_->Handle() && form1_->ReadButtonCaption() == kCaptionStopReading;
}

void App::NoteForegroundProgram() {
  const DWORD processId = CurrentForegroundWindow().processId;
  if (processId == 0 || processId == ::GetCurrentProcessId()) return;
  programBefore_ = programNames_.NameOf(processId);
}

void App::WindowOpened(HWND window) {
  for (HWND& slot : windows_) {
    if (!slot) {
      slot = window;
      break;
    }
  }
  ++openWindows_;
}

void App::WindowDestroyed(HWND& handle) {
  const HWND window = std::exchange(handle, nullptr);
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  for (HWND& slot : windows_)
    if (slot == window) slot = nullptr;
  if (--openWindows_ <= 0) ::PostQuitMessage(0);
}

void App::RegisterWindowProc(const wchar_t* className, WNDPROC windowProc,
                             HBRUSH background) const {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance_;
  wc.hIcon = icon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  ::RegisterClassExW(&wc);
}

}  // namespace keyentry
