#include "core/FolderAccess.h"

namespace keyentry {

namespace {

struct SidAlias {
  const wchar_t* letters;
  const wchar_t* sid;
  const wchar_t* name;
};
constexpr SidAlias kSids[] = {
    {L"SY", L"S-1-5-18", L"SYSTEM"},          {L"BA", L"S-1-5-32-544", L"Administrators"},
    {L"BU", L"S-1-5-32-545", L"Users"},       {L"BG", L"S-1-5-32-546", L"Guests"},
    {L"PU", L"S-1-5-32-547", L"Power Users"}, {L"AU", L"S-1-5-11", L"Authenticated Users"},
    {L"WD", L"S-1-1-0", L"Everyone"},         {L"IU", L"S-1-5-4", L"Interactive"},
    {L"NU", L"S-1-5-2", L"Network"},          {L"AN", L"S-1-5-7", L"Anonymous"},
    {L"CO", L"S-1-3-0", L"CREATOR OWNER"},    {L"OW", L"S-1-3-4", L"OWNER RIGHTS"},
    {L"LS", L"S-1-5-19", L"LOCAL SERVICE"},   {L"NS", L"S-1-5-20", L"NETWORK SERVICE"},
};
constexpr const wchar_t* kTrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct RightLetters {
  const wchar_t* letters;
  std::uint32_t mask;
};
constexpr RightLetters kRights[] = {
    {L"GA", 0x10000000}, {L"GR", 0x80000000}, {L"GW", 0x40000000}, {L"GX", 0x20000000},
    {L"FA", 0x001F01FF}, {L"FR", 0x00120089}, {L"FW", 0x00120116}, {L"FX", 0x001200A0},
    {L"SD", 0x00010000}, {L"RC", 0x00020000}, {L"WD", 0x00040000}, {L"WO", 0x00080000},
    {L"CC", 0x00000001}, {L"DC", 0x00000002}, {L"LC", 0x00000004}, {L"SW", 0x00000008},
    {L"RP", 0x00000010}, {L"WP", 0x00000020}, {L"DT", 0x00000040}, {L"LO", 0x00000080},
    {L"CR", 0x00000100},
};

bool IsTrusted(std::wstring_view sid) {
  return sid == L"S-1-5-18" || sid == L"S-1-5-32-544" || sid == kTrustedInstaller;
}
// Every standard user is one of these.
bool IsOrdinaryUsers(std::wstring_view sid) {
  return sid == L"S-1-1-0" || sid == L"S-1-5-11" || sid == L"S-1-5-32-545" || sid == L"S-1-5-4";
}

// Generic rights as the file system maps them.
std::uint32_t MapGeneric(std::uint32_t mask) {
  if (mask & 0x10000000) mask |= 0x001F01FF;
  if (mask & 0x40000000) mask |= 0x00120116;
  if (mask & 0x80000000) mask |= 0x00120089;
  if (mask & 0x20000000) mask |= 0x001200A0;
  return mask & 0x0FFFFFFF;
}

std::optional<std::wstring> SidOf(std::wstring_view text) {
  for (const SidAlias& alias : kSids) {
    if (text == alias.letters) return std::wstring(alias.sid);
  }
  if (text.size() > 4 && text.substr(0, 4) == L"S-1-") return std::wstring(text);
  return std::nullopt;
}

std::optional<std::uint32_t> RightsOf(std::wstring_view text) {
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    std::uint32_t mask = 0;
    for (const wchar_t c : text.substr(2)) {
      const int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                        : c >= L'a' && c <= L'f' ? c - L'a' + 10
                        : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                 : -1;
      if (digit < 0 || mask > 0x0FFFFFFF) return std::nullopt;
      mask = mask << 4 | static_cast<std::uint32_t>(digit);
    }
    return mask;
  }
  if (text.size() % 2) return std::nullopt;
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    bool known = false;
    for (const RightLetters& r : kRights) {
      if (text.substr(i, 2) == r.letters) {
        mask |= r.mask;
        known = true;
      }
    }
    if (!known) return std::nullopt;
  }
  return mask;
}

// "A;OICI;FA;;;SY" without its parentheses.
std::optional<AccessEntry> EntryOf(std::wstring_view text) {
  std::vector<std::wstring_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t semicolon = text.find(L';', start);
    parts.push_back(text.substr(start, semicolon - start));
    if (semicolon == std::wstring_view::npos) break;
    start = semicolon + 1;
  }
  if (parts.size() != 6 || (parts[0] != L"A" && parts[0] != L"D")) return std::nullopt;
  AccessEntry entry;
  entry.allow = parts[0] == L"A";
  const std::wstring_view flags = parts[1];
  if (flags.size() % 2) return std::nullopt;
  for (std::size_t i = 0; i < flags.size(); i += 2) {
    const std::wstring_view flag = flags.substr(i, 2);
    if (flag == L"OI") {
      entry.objectInherit = true;
    } else if (flag == L"CI") {
      entry.containerInherit = true;
    } else if (flag == L"IO") {
      entry.inheritOnly = true;
    } else if (flag == L"ID") {
      entry.inherited = true;
    } else if (flag != L"NP") {
      return std::nullopt;
    }
  }
  const auto rights = RightsOf(parts[2]);
  const auto sid = SidOf(parts[5]);
  if (!rights || !sid || !parts[3].empty() || !parts[4].empty()) return std::nullopt;
  entry.mask = *rights;
  entry.sid = *sid;
  return entry;
}

// The changing rights the ordinary users and each other SID get from the
// entries that apply (first entry for a right decides, as the system does).
void Collect(const FolderSecurityFacts& facts, bool files, std::wstring_view self,
             std::vector<OpenAccess>& out) {
  std::uint32_t deniedToOrdinary = 0;
  for (const AccessEntry& entry : facts.entries) {
    const bool applies = files ? entry.objectInherit : !entry.inheritOnly;
    if (!applies) continue;
    const std::uint32_t rights = MapGeneric(entry.mask) & kChangingRights;
    if (!rights || IsTrusted(entry.sid) || entry.sid == L"S-1-3-0") continue;
    if (!self.empty() && entry.sid == self) continue;
    if (!entry.allow) {
      if (IsOrdinaryUsers(entry.sid)) deniedToOrdinary |= rights;
      continue;
    }
    const std::uint32_t granted = IsOrdinaryUsers(entry.sid) ? rights & ~deniedToOrdinary : rights;
    if (!granted) continue;
    OpenAccess* found = nullptr;
    for (OpenAccess& open : out) {
      if (open.sid == entry.sid) found = &open;
    }
    if (!found) {
      out.push_back(OpenAccess{entry.sid, 0, false, false});
      found = &out.back();
    }
    found->rights |= granted;
    (files ? found->onFiles : found->onFolder) = true;
  }
}

}  // namespace

std::optional<FolderSecurityFacts> ParseSddlDacl(std::wstring_view sddl) {
  FolderSecurityFacts facts;
  // Owner and group, when given, come first.
  while (sddl.size() > 2 && (sddl[0] == L'O' || sddl[0] == L'G') && sddl[1] == L':') {
    const std::size_t end = sddl.find(L':', 2);
    const std::size_t next = end == std::wstring_view::npos ? end : end - 1;
    if (next == std::wstring_view::npos) return std::nullopt;
    if (sddl[0] == L'O') {
      const auto owner = SidOf(sddl.substr(2, next - 2));
      if (!owner) return std::nullopt;
      facts.ownerSid = *owner;
    }
    sddl.remove_prefix(next);
  }
  if (sddl.substr(0, 2) != L"D:") return std::nullopt;
  sddl.remove_prefix(2);
  while (!sddl.empty() && sddl[0] != L'(') {
    if (sddl[0] == L'P') {
      facts.isProtected = true;
      sddl.remove_prefix(1);
    } else if (sddl.substr(0, 2) == L"AI" || sddl.substr(0, 2) == L"AR") {
      sddl.remove_prefix(2);
    } else if (sddl == L"NO_ACCESS_CONTROL") {
      facts.hasAccessList = false;
      return facts;
    } else {
      return std::nullopt;
    }
  }
  while (!sddl.empty()) {
    const std::size_t close = sddl.find(L')');
    if (sddl[0] != L'(' || close == std::wstring_view::npos) return std::nullopt;
    const auto entry = EntryOf(sddl.substr(1, close - 1));
    if (!entry) return std::nullopt;
    facts.entries.push_back(*entry);
    sddl.remove_prefix(close + 1);
  }
  return facts;
}

std::vector<OpenAccess> WhoCanChange(const FolderSecurityFacts& facts, std::wstring_view self) {
  std::vector<OpenAccess> out;
  if (!facts.hasAccessList)
    return {OpenAccess{L"S-1-1-0", kChangingRights & 0x000F0046, true, true}};
  if (!facts.ownerSid.empty() && !IsTrusted(facts.ownerSid) && facts.ownerSid != self) {
    out.push_back(OpenAccess{facts.ownerSid, 0x00040000, true, false});
  }
  Collect(facts, false, self, out);
  Collect(facts, true, self, out);
  return out;
}

std::wstring SidName(std::wstring_view sid) {
  for (const SidAlias& alias : kSids) {
    if (sid == alias.sid) return alias.name;
  }
  return std::wstring(sid);
}

}  // namespace keyentry
