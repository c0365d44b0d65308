// KeyEntryReader.exe: the one process that loads the reader library
// ostra.dll. KeyEntry starts it with two inherited anonymous pipes as its
// standard input and output and an inherited handle to KeyEntry itself (its
// number on the command line). It serves the four calls of the library, one
// request at a time, and nothing else. It ends when its pipe breaks or
// KeyEntry has gone; a crash inside the library ends it at once, without an
// error report that would keep it alive.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <exception>

#include "core/ReaderProtocol.h"
#include "core/ReaderSupervisor.h"
#include "platform/DataFolder.h"
#include "platform/LibraryLoader.h"
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

bool ReadExactly(HANDLE pipe, std::uint8_t* into, DWORD size) {
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!::ReadFile(pipe, into + done, size - done, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

bool WriteExactly(HANDLE pipe, const std::uint8_t* from, DWORD size) {
  DWORD done = 0;
  while (done < size) {
    DWORD put = 0;
    if (!::WriteFile(pipe, from + done, size - done, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
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
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(&EndAtOnce);
  // The card files land in the current folder for libraries that write them
  // by relative names: the program folder of a zip copy, as it was in
  // KeyEntry; the user's data folder of the installed copy.
  const std::wstring folder = ProgramFolder();
  MakeCurrentFolder(UserDataFolder(folder));
  HardenLibrarySearch();

  const HANDLE parent = reinterpret_cast<HANDLE>(
      static_cast<std::uintptr_t>(std::wcstoul(commandLine ? commandLine : L"", nullptr, 10)));
  if (!parent || ::WaitForSingleObject(parent, 0) != WAIT_TIMEOUT) return 2;
  const HANDLE watch = ::CreateThread(nullptr, 64 * 1024, &WatchParent, parent,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!watch) return 2;
  ::CloseHandle(watch);

  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ReaderDll reader(folder);
  for (;;) {
    std::uint8_t request[kReaderRequestBytes];
    if (!ReadExactly(in, request, kReaderRequestBytes)) return 0;
    const auto reply = EncodeReply(Serve(reader, DecodeRequest(request)));
    if (!WriteExactly(out, reply.data(), kReaderReplyBytes)) return 0;
  }
}
