// Who may change a program folder, from its owner and access list: the rows
// of the installation package (as SDDL) and what the self-check reads. The
// system enforces these lists; Wine does not, so they are checked here.
#include <cstdio>
#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/FolderAccess.h"

namespace keyentry::test {
namespace {

// "Users 0x10006 folder files; ..." or "-" when nobody, "<bad>" when unread.
std::string Who(const wchar_t* sddl) {
  const auto facts = ParseSddlDacl(sddl);
  if (!facts) return "<bad>";
  std::string out;
  for (const OpenAccess& open : WhoCanChange(*facts)) {
    char rights[16];
    std::snprintf(rights, sizeof rights, "0x%x", static_cast<unsigned>(open.rights));
    if (!out.empty()) out += "; ";
    out += U8(SidName(open.sid)) + " " + rights + (open.onFolder ? " folder" : "") +
           (open.onFiles ? " files" : "");
  }
  return out.empty() ? "-" : out;
}

TEST(FolderAccess, WhoBesidesSystemAndAdministratorsCanChangeTheFolder) {
  const struct {
    const wchar_t* sddl;
    const char* who;
  } cases[] = {
      // The modify rights of the earlier package.
      {L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", "Users 0x10006 folder files"},
      {L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", "-"},
      // A folder made at the root of the system drive.
      {L"D:(A;OICIIO;SDGXGWGR;;;AU)(A;;0x1301bf;;;AU)(A;OICI;FA;;;BA)",
       "Authenticated Users 0x10006 folder files"},
      {L"D:(D;OICI;WDWOSDDTFW;;;WD)(A;OICI;FA;;;BU)", "-"},
      {L"D:(A;OICI;FA;;;BU)(D;OICI;FA;;;WD)", "Users 0xd0046 folder files"},
      {L"D:P(A;OICI;FA;;;BA)(A;OIIO;FW;;;S-1-5-21-1-2-3-1001)", "S-1-5-21-1-2-3-1001 0x6 files"},
      {L"D:P(A;OICIIO;GA;;;CO)(A;OICI;FA;;;SY)(A;OICI;FR;;;WD)", "-"},
      {L"O:S-1-5-21-9-1001G:SYD:P(A;OICI;FA;;;SY)", "S-1-5-21-9-1001 0x40000 folder"},
      {L"O:BAD:PAI(A;OICIID;FA;;;SY)(A;ID;0x40000;;;IU)", "Interactive 0x40000 folder"},
      {L"D:NO_ACCESS_CONTROL", "Everyone 0xd0046 folder files"},
      {L"D:(A;;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)", "-"},
      {L"D:(X;;FA;;;SY)", "<bad>"},
      {L"(A;;FA;;;SY)", "<bad>"},
      {L"D:(A;;ZZ;;;SY)", "<bad>"},
      {L"D:(A;;FA;;;XY)", "<bad>"},
      {L"D:(A;OICI;FA;;;SY", "<bad>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Who(c.sddl), c.who) << U8(c.sddl);
  // A copy in the user's own profile: the user may change it, nobody else.
  const auto own =
      ParseSddlDacl(L"O:S-1-5-21-9-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-9-1001)");
  EXPECT_TRUE(WhoCanChange(*own, L"S-1-5-21-9-1001").empty());
  EXPECT_EQ(WhoCanChange(*own, L"S-1-5-21-9-1002").size(), 1u);
}

}  // namespace
}  // namespace keyentry::test
