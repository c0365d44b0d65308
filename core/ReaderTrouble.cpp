#include "core/ReaderTrouble.h"

#include "core/Texts.h"

namespace keyentry {

const wchar_t* TroubleReason(ReaderTrouble trouble) {
  switch (trouble) {
    case ReaderTrouble::kCrashed:
      return kReasonCrashed;
    case ReaderTrouble::kNoAnswer:
      return kReasonNoAnswer;
    case ReaderTrouble::kCannotStart:
      return kReasonCannotStart;
    default:
      return L"";
  }
}

}  // namespace keyentry
