// Scratch file names and the extended-length form of long paths.
#include <gtest/gtest.h>
#include <string>

#include "core/PathNames.h"

namespace keyentry {
namespace {

TEST(ScratchFileName, CarriesTheTargetTheProcessAndTheCounter) {
  EXPECT_EQ(ScratchFileName(L"SetKey.txt", 1234, 0), L"SetKey.txt.~KeyEntry-1234-0.tmp");
  EXPECT_EQ(ScratchFileName(L"SetKey.txt", 4294967295u, 17),
            L"SetKey.txt.~KeyEntry-4294967295-17.tmp");
  EXPECT_EQ(ScratchFileName(L"按键.txt", 8, 3), L"按键.txt.~KeyEntry-8-3.tmp");
}

TEST(ScratchFileOwner, OurNamesGiveTheirProcess) {
  EXPECT_EQ(ScratchFileOwner(L"SetKey.txt.~KeyEntry-1234-0.tmp"), 1234u);
  EXPECT_EQ(ScratchFileOwner(L"SetKey.txt.~KeyEntry-4294967295-4294967295.tmp"), 4294967295u);
  EXPECT_EQ(ScratchFileOwner(L"wz.txt.~KeyEntry-8-10.tmp"), 8u);
  EXPECT_EQ(ScratchFileOwner(L"a.~KeyEntry-1-2.tmp.~KeyEntry-3-4.tmp"), 3u);
}

TEST(ScratchFileOwner, LookAlikesAreNotOurs) {
  for (const wchar_t* name : {
           L"SetKey.txt.~Other-1234-0.tmp",
           L"SetKey.txt.~keyentry-1234-0.tmp",  // another case: not made by us
           L"SetKey.txt.~KeyEntry-1234-0.TMP",
           L"SetKey.txt.~KeyEntry-1234-0.tmp.bak",
           L"SetKey.txt.~KeyEntry-1234.tmp",
           L"SetKey.txt.~KeyEntry-1234-.tmp",
           L"SetKey.txt.~KeyEntry--0.tmp",
           L"SetKey.txt.~KeyEntry-0-0.tmp",      // no process has id 0
           L"SetKey.txt.~KeyEntry-01234-0.tmp",  // leading zero
           L"SetKey.txt.~KeyEntry-1234-00.tmp",
           L"SetKey.txt.~KeyEntry-4294967296-0.tmp",  // beyond 32 bits
           L"SetKey.txt.~KeyEntry-12a4-0.tmp",
           L"SetKey.txt.~KeyEntry-1234-0-1.tmp",
           L"SetKey.txt.~KeyEntry-１２-0.tmp",  // full-width digits
           L"SetKey.txt~KeyEntry-1234-0.tmp",
           L".~KeyEntry-1234-0.tmp",  // no target
           L"ke1A2B.tmp",             // a name of the system's own temporary files
           L"sub\\SetKey.txt.~KeyEntry-1234-0.tmp",
       }) {
    EXPECT_EQ(ScratchFileOwner(name), std::nullopt) << name;
  }
}

// A folder of exactly `length` characters under C:\ (length >= 4).
std::wstring FolderOfLength(std::size_t length) {
  std::wstring folder = L"C:\\";
  while (folder.size() + 11 <= length) folder += L"abcdefghi\\j";
  folder += std::wstring(length - folder.size(), L'k');
  return folder;
}

TEST(ExtendedLengthPath, LongAbsolutePathsGetTheExtendedForm) {
  const std::wstring folder247 = FolderOfLength(247);
  ASSERT_EQ(folder247.size(), 247u);
  EXPECT_EQ(ExtendedLengthPath(folder247), folder247);
  const std::wstring file = folder247 + L"\\SetKey.txt";
  EXPECT_EQ(ExtendedLengthPath(file), L"\\\\?\\" + file);
  const std::wstring folder248 = FolderOfLength(248);
  EXPECT_EQ(ExtendedLengthPath(folder248), L"\\\\?\\" + folder248);
  EXPECT_EQ(ExtendedLengthPath(folder248 + L"\\"), L"\\\\?\\" + folder248 + L"\\");
  EXPECT_EQ(ExtendedLengthPath(L"d" + folder248.substr(1)), L"\\\\?\\d" + folder248.substr(1));

  const std::wstring share = L"\\\\server\\share\\" + std::wstring(240, L'x') + L"\\SetKey.txt";
  EXPECT_EQ(ExtendedLengthPath(share),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(240, L'x') + L"\\SetKey.txt");

  EXPECT_EQ(ExtendedLengthPath(L"C:\\KeyEntry\\SetKey.txt"), L"C:\\KeyEntry\\SetKey.txt");
  EXPECT_EQ(ExtendedLengthPath(L""), L"");
}

TEST(ExtendedLengthPath, OtherPathsStayAsTheyAre) {
  const std::wstring tail = std::wstring(250, L'x') + L"\\SetKey.txt";
  for (const std::wstring& path : {
           L"\\\\?\\C:\\" + tail,
           L"\\\\?\\UNC\\server\\share\\" + tail,
           L"\\\\.\\C:\\" + tail,
           L"relative\\" + tail,
           L"C:" + tail,  // relative to the current folder of drive C
           L"\\" + tail,  // relative to the current drive
           L"C:\\a/b\\" + tail,
           L"C:\\a\\\\b\\" + tail,
           L"C:\\a\\.\\b\\" + tail,
           L"C:\\a\\..\\b\\" + tail,
           L"1:\\" + tail,
           L"\\\\" + std::wstring(250, L'x'),  // a server without a share
           L"\\\\server\\share\\..\\" + tail,
       }) {
    EXPECT_EQ(ExtendedLengthPath(path), path);
  }
}

TEST(SameFilePath, ComparesAsWindowsComparesNames) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
  } cases[] = {
      {L"C:\\KeyEntry\\KeyEntry.exe", L"C:\\KeyEntry\\KeyEntry.exe", true},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"c:\\keyentry\\KEYENTRY.EXE", true},
      {L"\\\\?\\C:\\KeyEntry\\KeyEntry.exe", L"C:\\KeyEntry\\KeyEntry.exe", true},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"\\\\?\\c:\\KEYENTRY\\KeyEntry.exe", true},
      {L"\\\\?\\UNC\\server\\share\\KeyEntry.exe", L"\\\\SERVER\\share\\KeyEntry.exe", true},
      {L"D:\\前台\\ＡＢ\\KeyEntry.exe", L"d:\\前台\\ａｂ\\keyentry.exe", true},  // full-width
      {L"D:\\Été\\Καρτα\\Карта\\Ёж\\K.exe", L"D:\\éTÉ\\κΑΡΤΑ\\кАРТА\\ёЖ\\k.EXE", true},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"D:\\KeyEntry\\KeyEntry.exe", false},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"C:\\KeyEntry2\\KeyEntry.exe", false},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"C:\\KeyEntry\\KeyEntry.exe.bak", false},
      {L"C:\\前台\\KeyEntry.exe", L"C:\\后台\\KeyEntry.exe", false},
      {L"\\\\?\\UNC\\server\\share\\KeyEntry.exe", L"\\\\?\\server\\share\\KeyEntry.exe", false},
      {L"C:\\KeyEntry\\KeyEntry.exe", L"", false},
      {L"", L"", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameFilePath(c.a, c.b), c.same) << c.a << L" | " << c.b;
    EXPECT_EQ(SameFilePath(c.b, c.a), c.same) << c.b << L" | " << c.a;
  }
}

}  // namespace
}  // namespace keyentry
