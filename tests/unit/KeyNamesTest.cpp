#include <gtest/gtest.h>

#include "core/KeyNames.h"

namespace keyentry {
namespace {

TEST(KeyNameToCode, FunctionKeysMapToTheirVirtualKeyCodes) {
  const wchar_t* names[] = {L"F1", L"F2", L"F3", L"F4",  L"F5",  L"F6",
                            L"F7", L"F8", L"F9", L"F10", L"F11", L"F12"};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(KeyNameToCode(names[i]), 112 + i) << i;
}

TEST(KeyNameToCode, AnythingElseIsZero) {
  for (const wchar_t* name : {L"", L"f1", L"F0", L"F01", L"F13", L"F100", L" F1", L"F1 ", L"F",
                              L"1", L"F1\r", L"F1\n", L"Ｆ１", L"F-1", L"F+2", L"F12x"}) {
    EXPECT_EQ(KeyNameToCode(name), 0) << "name: [" << std::wstring(name).size() << "]";
  }
}

}  // namespace
}  // namespace keyentry
