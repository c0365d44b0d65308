// KeyEntryReader.exe: the one process that loads the reader library
// ostra.dll. KeyEntry starts it with three inherited handles named by number
// on its command line: KeyEntry itself, the pipe of requests and the pipe of
// replies. Its standard input, output and error are NUL, so that whatever
// the library prints never reaches the replies. It serves the four calls of
// the library, one request at a time, and nothing else. It ends when its pipe breaks or
// KeyEntry has gone; a crash inside the library ends it at once, without an
// error report that would keep it alive.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <exception>

#include "core/ReaderCall.h"
#include "core/ReaderProtocol.h"
#include "platform/DataFolder.h"
#include "platform/LibraryLoader.h"
#include "platform/PipeMessages.h"
#include "platform/ReaderDll.h"
#include "platform/Win32Text.h"

namespace {

using namespace keyentry;

LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info) {
  const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 3;
  ::TerminateProcess(::GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI WatchParent(void* parent) {
  ::WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
  // The library may be inside a call that never returns: no clean exit.
  ::TerminateProcess(::GetCurrentProcess(), 0);
  return 0;
}

ReaderReply Serve(ReaderDll& reader, const ReaderRequest& request) {
  ReaderReply reply;
  reply.sequence = request.sequence;
  try {
    switch (static_cast<ReaderCall>(request.call)) {
      case ReaderCall::kInitComm:
        reply.value = reader.InitComm(request.argument);
        break;
      case ReaderCall::kAuthenticate:
        reply.value = reader.Authenticate();
        break;
      case ReaderCall::kReadContent:
        reply.value = reader.ReadContent(request.argument);
        break;
      case ReaderCall::kCloseComm:
        reply.value = reader.CloseComm();
        break;
      default:
        reply.libraryError = true;
        break;
    }
  } catch (const std::exception&) {
    reply.libraryError = true;
  }
  const LibraryFacts& facts = reader.Facts();
  reply.state = facts.state;
  reply.error = facts.error;
  for (const std::wstring& name : facts.missing) {
    for (int i = 0; i < 4; ++i) {
      const char* known = kReaderFunctionNames[i];
      if (name == std::wstring(known, known + std::strlen(known))) reply.missing |= 1u << i;
    }
  }
  return reply;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  // The three handles were inherited so that their numbers could be named
  // on the command line before this process existed (a handle duplicated
  // into it afterwards would need another way to tell its number). Made
  // not inheritable at once, before the library is loaded: a process the
  // library starts must not hold the pipes open after a crash of this one.
  HANDLE handles[3] = {nullptr, nullptr, nullptr};
  {
    const wchar_t* at = commandLine ? commandLine : L"";
    for (HANDLE& h : handles) {
      wchar_t* end = nullptr;
      h = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoul(at, &end, 10)));
      at = end;
      if (!h || !::SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0)) return 2;
    }
  }
  const HANDLE parent = handles[0];
  const HANDLE in = handles[1];
  const HANDLE out = handles[2];
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(&EndAtOnce);
  // The card files land in the current folder for libraries that write them
  // by relative names: the program folder of a zip copy, as it was in
  // KeyEntry; the user's data folder of the installed copy.
  const std::wstring folder = ProgramFolder();
  MakeCurrentFolder(UserDataFolder(folder));
  HardenLibrarySearch();

  if (::WaitForSingleObject(parent, 0) != WAIT_TIMEOUT) return 2;
  const HANDLE watch = ::CreateThread(nullptr, 64 * 1024, &WatchParent, parent,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!watch) return 2;
  ::CloseHandle(watch);

  ReaderDll reader(folder);
  for (;;) {
    std::uint8_t request[kReaderRequestBytes];
    if (!ReadExactly(in, request, kReaderRequestBytes)) return 0;
    const auto reply = EncodeReply(Serve(reader, DecodeRequest(request)));
    if (!WriteExactly(out, reply.data(), kReaderReplyBytes)) return 0;
  }
}
