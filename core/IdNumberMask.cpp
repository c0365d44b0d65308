#include "core/IdNumberMask.h"

namespace keyentry {

std::wstring MaskIdNumber(std::wstring_view number) {
  std::wstring shown(number);
  constexpr std::size_t kLength = 18, kFirstHidden = 6, kHiddenCount = 8;
  if (shown.size() == kLength) shown.replace(kFirstHidden, kHiddenCount, kHiddenCount, L'*');
  return shown;
}

}  // namespace keyentry
