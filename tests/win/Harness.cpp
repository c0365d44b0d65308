#include "Harness.h"

#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <initializer_list>

#include "core/PathNames.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {

std::string ToCodePage(const std::wstring& text, UINT codePage) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  return out;
}

std::wstring FromCodePage(const std::string& bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int n =
      ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (pred()) return true;
    if (::GetTickCount() - start >= timeoutMs) return pred();
    PumpMessagesFor(20);
  }
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

int ReaderHelpersOf(DWORD pid) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int n = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == pid && lstrcmpiW(entry.szExeFile, L"KeyEntryReader.exe") == 0)
      ++n;
  }
  ::CloseHandle(snapshot);
  return n;
}

namespace {

bool CopyInto(const std::wstring& from, const std::wstring& to) {
  return ::CopyFileW(ExtendedLengthPath(from).c_str(), ExtendedLengthPath(to).c_str(), FALSE) != 0;
}

void CopyTree(const std::wstring& from, const std::wstring& to) {
  ::CreateDirectoryW(ExtendedLengthPath(to).c_str(), nullptr);
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW((from + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from + L"\\" + name, to + L"\\" + name);
    } else {
      CopyInto(from + L"\\" + name, to + L"\\" + name);
    }
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

std::atomic<int> sandboxCounter{0};

}  // namespace

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(ExtendedLengthPath(folder + L"\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      ::SetFileAttributesW(ExtendedLengthPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(ExtendedLengthPath(path).c_str());
      }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(ExtendedLengthPath(folder).c_str());
}

bool WriteFileBytes(const std::wstring& name, const std::string& bytes) {
  const std::wstring path = ExtendedLengthPath(name);
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  ::CloseHandle(f);
  return ok;
}

Sandbox::Sandbox(std::size_t minimumLength) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  root_ = std::wstring(temp) + L"keyentry-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(sandboxCounter++);
  RemoveTree(root_);
  ::CreateDirectoryW(root_.c_str(), nullptr);
  folder_ = root_;
  while (folder_.size() < minimumLength) {
    const std::size_t missing = minimumLength - folder_.size();
    folder_ += L"\\" + std::wstring(missing > 61 ? 60 : (missing < 2 ? 1 : missing - 1), L'd');
    ::CreateDirectoryW(ExtendedLengthPath(folder_).c_str(), nullptr);
  }
  const std::wstring bin = ProgramFolder();
  for (const wchar_t* name :
       {L"KeyEntry.exe", L"KeyEntryReader.exe", L"SendStr.dll", L"ostra.dll"}) {
    CopyInto(bin + L"\\" + name, Path(name));
  }
  ::CreateDirectoryW(ExtendedLengthPath(Path(L"reader-sim")).c_str(), nullptr);
  CopyTree(bin + L"\\demo-reader\\cards", Path(L"reader-sim\\cards"));
}

Sandbox::~Sandbox() { RemoveTree(root_); }

void Sandbox::Write(const std::wstring& name, const std::string& bytes) const {
  WriteFileBytes(Path(name), bytes);
}

std::optional<std::string> Sandbox::Read(const std::wstring& name) const {
  return Win32FileStore().ReadAll(Path(name));
}

void Sandbox::Remove(const std::wstring& name) const {
  const std::wstring path = ExtendedLengthPath(Path(name));
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(path.c_str());
}

std::vector<std::wstring> Sandbox::FileNames() const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(ExtendedLengthPath(Path(L"*")).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(fd.cFileName);
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return names;
}

void Sandbox::AttachReader(const std::string& ports) const {
  Write(L"reader-sim\\ports.txt", ports + "\r\n");
}

void Sandbox::PlaceCard(const std::string& cardName) const {
  Write(L"reader-sim\\card.txt", cardName + "\r\n");
}

void Sandbox::RemoveCard() const { Remove(L"reader-sim\\card.txt"); }

void Sandbox::MakeCard(const std::string& cardName, const std::vector<std::wstring>& lines) const {
  const std::wstring dir = L"reader-sim\\cards\\" + std::wstring(cardName.begin(), cardName.end());
  ::CreateDirectoryW(ExtendedLengthPath(Path(dir)).c_str(), nullptr);
  std::string text;
  for (const auto& line : lines) text += ToCodePage(line) + "\r\n";
  Write(dir + L"\\wz.txt", text);
  CopyInto(Path(L"reader-sim\\cards\\demo\\zp.bmp"), Path(dir + L"\\zp.bmp"));
}

void Sandbox::MakeCardWithPhoto(const std::string& cardName, const std::vector<std::wstring>& lines,
                                int width, int height, COLORREF colour) const {
  MakeCard(cardName, lines);
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t imageSize = stride * static_cast<std::size_t>(height);
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + imageSize);
  ih.biSize = sizeof ih;
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::string bytes(reinterpret_cast<const char*>(&fh), sizeof fh);
  bytes.append(reinterpret_cast<const char*>(&ih), sizeof ih);
  std::string row(stride, '\0');
  for (int x = 0; x < width; ++x) {
    row[x * 3] = static_cast<char>(GetBValue(colour));
    row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
    row[x * 3 + 2] = static_cast<char>(GetRValue(colour));
  }
  for (int y = 0; y < height; ++y) bytes += row;
  const std::wstring dir = L"reader-sim\\cards\\" + std::wstring(cardName.begin(), cardName.end());
  Write(dir + L"\\zp.bmp", bytes);
}

std::string Sandbox::ReaderCalls() const {
  return Read(L"reader-sim\\calls.log").value_or(std::string());
}

Program::Program(const Sandbox& sandbox, const std::wstring& currentFolder,
                 const std::wstring& exeName) {
  std::wstring command = L"\"" + sandbox.Path(exeName) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  // Started from another folder: the program must find its files by its own path.
  const std::wstring cwd = currentFolder.empty() ? ProgramFolder() : currentFolder;
  ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si,
                   &pi_);
}

Program::Program(const std::wstring& exePath) {
  std::wstring command = L"\"" + exePath + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                   ProgramFolder().c_str(), &si, &pi_);
}

Program::~Program() {
  if (pi_.hProcess) {
    if (Running()) {
      ::TerminateProcess(pi_.hProcess, 99);
      ::WaitForSingleObject(pi_.hProcess, 5000);
    }
    ::CloseHandle(pi_.hProcess);
    ::CloseHandle(pi_.hThread);
  }
}

DWORD Program::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (pi_.hProcess) ::GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

bool Program::Running() const {
  return pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

namespace {
struct FindArgs {
  DWORD pid;
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
  auto* args = reinterpret_cast<FindArgs*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != args->pid) return TRUE;
  wchar_t cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  if (lstrcmpW(cls, args->className) == 0) args->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevels(DWORD pid, const wchar_t* className) {
  FindArgs args{pid, className, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

std::wstring TextOf(HWND w) {
  wchar_t buffer[4096] = {};
  ::SendMessageTimeoutW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, nullptr);
  return buffer;
}

bool VisibleChild(HWND dlg, int id) {
  HWND child = ::GetDlgItem(dlg, id);
  return child && ::IsWindowVisible(child);
}
}  // namespace

HWND Program::HookWindow() const {
  for (HWND w = ::FindWindowExW(HWND_MESSAGE, nullptr, L"KeyEntryHookWatch", nullptr); w;
       w = ::FindWindowExW(HWND_MESSAGE, w, L"KeyEntryHookWatch", nullptr)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == pi_.dwProcessId) return w;
  }
  return nullptr;
}

LRESULT Program::AskHookSeam(const wchar_t* messageName) const {
  const HWND window = HookWindow();
  DWORD_PTR answer = 0;
  if (!window || !::SendMessageTimeoutW(window, ::RegisterWindowMessageW(messageName), 0, 0,
                                        SMTO_ABORTIFHUNG, 5000, &answer)) {
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

HWND Program::FindTopLevel(const wchar_t* className) const {
  for (HWND w : TopLevels(pi_.dwProcessId, className))
    if (::IsWindowVisible(w)) return w;
  return nullptr;
}

int Program::AnswerMessageBoxes() {
  int answered = 0;
  for (HWND dlg : TopLevels(pi_.dwProcessId, L"#32770")) {
    if (!::IsWindowVisible(dlg)) continue;
    messages_.push_back(TextOf(::GetDlgItem(dlg, 0xFFFF)));
    const bool titled = TextOf(dlg) == L"按键录入软件";
    const bool okOnly = VisibleChild(dlg, IDOK) && !VisibleChild(dlg, IDCANCEL) &&
                        !VisibleChild(dlg, IDYES) && !VisibleChild(dlg, IDNO);
    auto iconShown = [dlg](int id) {
      HWND icon = ::GetDlgItem(dlg, id);
      return icon && ::IsWindowVisible(icon) && ::SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    };
    const bool noIcon = !iconShown(0x14) && !iconShown(0x0440);
    if (!(titled && okOnly && noIcon)) {
      std::fprintf(stderr, "message box: titled %d, OK only %d, no icon %d\n", titled, okOnly,
                   noIcon);
    }
    wellFormed_ = wellFormed_ && titled && okOnly && noIcon;
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ++answered;
    // Let it go away before looking again.
    WaitFor([dlg] { return !::IsWindow(dlg) || !::IsWindowVisible(dlg); }, 5000);
  }
  return answered;
}

HWND Program::WaitForMainWindow(DWORD timeoutMs) {
  WaitFor(
      [this] {
        AnswerMessageBoxes();
        main_ = FindTopLevel(L"KeyEntryMain");
        return main_ != nullptr || !Running();
      },
      timeoutMs);
  // The window shows while the reader's ports are searched: until the
  // search has answered, the status line reads 正在查找读卡器… (and then
  // 正在查找读卡器：USB1001… and so on, port by port).
  if (main_) {
    WaitFor(
        [this] {
          AnswerMessageBoxes();
          const std::wstring status = Text(IDC_STATUS);
          return !Running() || (status != L"初始化信息" && status.rfind(L"正在查找读卡器", 0) != 0);
        },
        timeoutMs);
  }
  return main_;
}

std::wstring Program::Text(int controlId) const {
  return main_ ? TextOf(::GetDlgItem(main_, controlId)) : std::wstring();
}

std::wstring Program::Text(HWND window) const { return TextOf(window); }

void Program::Click(int controlId) { ClickWithMouse(::GetDlgItem(main_, controlId)); }

void Program::Close() {
  if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
}

bool Program::WaitForExit(DWORD timeoutMs) {
  return WaitFor(
      [this] {
        AnswerMessageBoxes();
        return !Running();
      },
      timeoutMs);
}

namespace {
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<WPARAM> editKeyDowns;
WNDPROC editProc = nullptr;

LRESULT CALLBACK RecordingEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) editKeyDowns.push_back(wParam);
  return ::CallWindowProcW(editProc, hwnd, msg, wParam, lParam);
}
}  // namespace

const std::vector<WPARAM>& TargetEdit::KeyDowns() const { return editKeyDowns; }
void TargetEdit::ClearKeyDowns() { editKeyDowns.clear(); }

TargetEdit::TargetEdit() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &FrameProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KeyEntryTestTarget";
  ::RegisterClassW(&wc);
  frame_ = ::CreateWindowExW(0, L"KeyEntryTestTarget", L"target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             20, 20, 400, 120, nullptr, nullptr, wc.hInstance, nullptr);
  edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_MULTILINE,
                            5, 5, 380, 60, frame_, nullptr, wc.hInstance, nullptr);
  editKeyDowns.clear();
  editProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingEditProc)));
  PumpMessagesFor(100);
}

TargetEdit::~TargetEdit() {
  if (frame_) ::DestroyWindow(frame_);
}

void TargetEdit::Focus() {
  ::SetForegroundWindow(frame_);
  ::SetActiveWindow(frame_);
  ::SetFocus(edit_);
  WaitFor([this] { return ::GetForegroundWindow() == frame_ && ::GetFocus() == edit_; }, 3000);
}

std::wstring TargetEdit::Text() const { return TextOf(edit_); }

void TargetEdit::Clear() { ::SetWindowTextW(edit_, L""); }

bool TargetEdit::WaitForText(const std::wstring& expected, DWORD timeoutMs) {
  return WaitFor([&] { return Text() == expected; }, timeoutMs);
}

void PressKey(WORD vk, const std::vector<WORD>& modifiers) {
  std::vector<INPUT> in;
  auto key = [&](WORD k, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    i.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(k, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  for (WORD m : modifiers) key(m, false);
  key(vk, false);
  key(vk, true);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) key(*it, true);
  ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

namespace {
DWORD AskSystemMenu(HWND main, WPARAM position, LPARAM what) {
  const UINT message = ::RegisterWindowMessageW(L"KeyEntry.Test.SystemMenuItem");
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(main, message, position, what, SMTO_NORMAL, 5000, &answer);
  return static_cast<DWORD>(answer);
}
}  // namespace

std::vector<std::pair<UINT, std::wstring>> SystemMenuItems(HWND main) {
  std::vector<std::pair<UINT, std::wstring>> items;
  const DWORD count = AskSystemMenu(main, static_cast<WPARAM>(-1), 0);
  for (DWORD k = 0; k < count && k < 40; ++k) {
    const DWORD item = AskSystemMenu(main, k, 0);
    wchar_t text[256] = {};
    if (LOWORD(item)) {
      ::GlobalGetAtomNameW(LOWORD(item), text, 256);
      ::GlobalDeleteAtom(LOWORD(item));
    }
    items.emplace_back(HIWORD(item), text);
  }
  return items;
}

std::optional<UINT> SystemMenuItemState(HWND main, UINT id) {
  const auto items = SystemMenuItems(main);
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (items[k].first == id) return AskSystemMenu(main, k, 1);
  }
  return std::nullopt;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
  wchar_t old[256] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, old, 256);
  if (n > 0 && n < 256) old_ = old;
  ::SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  ::SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr);
}

SIZE_T CommittedMemory(HANDLE process) {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (const char* at = nullptr; ::VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;
       at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type != MEM_IMAGE) total += info.RegionSize;
    if (info.RegionSize == 0) break;
  }
  return total;
}

void SendKey(WORD vk, bool up) {
  INPUT i{};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = vk;
  i.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &i, sizeof i);
}

bool KeyDown(WORD vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

namespace {
// Mouse events: a move to the point (absolute positions run from 0 to 65535
// across the primary screen), then the given button events.
void MouseAt(POINT p, std::initializer_list<DWORD> buttons) {
  const LONGLONG width = ::GetSystemMetrics(SM_CXSCREEN);
  const LONGLONG height = ::GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> in(1 + buttons.size());
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dx = static_cast<LONG>((p.x * 65536 + width / 2) / width);
  in[0].mi.dy = static_cast<LONG>((p.y * 65536 + height / 2) / height);
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  std::size_t k = 1;
  for (DWORD flags : buttons) in[k++].mi.dwFlags = flags;
  ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
}  // namespace

void ClickAt(POINT p) { MouseAt(p, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}); }

void TypeText(const std::wstring& text) {
  std::vector<INPUT> in;
  for (wchar_t c : text) {
    for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = static_cast<WORD>(c);
      i.ki.dwFlags = KEYEVENTF_UNICODE | up;
      in.push_back(i);
    }
  }
  if (!in.empty()) ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void ClickWithMouse(HWND window) {
  HWND top = ::GetAncestor(window, GA_ROOT);
  ::SetForegroundWindow(top);
  WaitFor([top] { return ::GetForegroundWindow() == top; }, 2000);
  const POINT centre = CentreOf(window);
  WaitFor([&] { return ::WindowFromPoint(centre) == window && ::IsWindowEnabled(window); }, 2000);
  ClickAt(centre);
}

void PressMouseAt(POINT p) { MouseAt(p, {MOUSEEVENTF_LEFTDOWN}); }

void ReleaseMouse() {
  INPUT up{};
  up.type = INPUT_MOUSE;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &up, sizeof(INPUT));
}

POINT CentreOf(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace keyentry::wintest
