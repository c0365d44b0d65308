// The installation package's tables, read with msitools' msiinfo: where the
// program folder lies, the access lists it gets, and what the custom actions
// run. Wine's msiexec applies no access lists and Wine enforces none, so the
// lists are checked here, from the package itself. The package is
// $KEYENTRY_MSI, else the one of the win32 build (skipped when neither is
// there or msiinfo is missing).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Fakes.h"
#include "core/FolderAccess.h"
#include "core/UnicodeText.h"

namespace keyentry::test {
namespace {

using Row = std::vector<std::string>;

std::string PackagePath() {
  if (const char* given = std::getenv("KEYENTRY_MSI")) return given;
  const std::filesystem::path build = std::filesystem::path(KEYENTRY_SOURCE_DIR) / "build/win32";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(build, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("KeyEntry-", 0) == 0 && entry.path().extension() == ".msi") {
      return entry.path().string();
    }
  }
  return {};
}

// The rows of a table (without msiinfo's three header lines); nothing when
// msiinfo could not be run.
std::optional<std::vector<Row>> Table(const std::string& msi, const char* table) {
  FILE* pipe = ::popen(("msiinfo export '" + msi + "' " + table + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (::pclose(pipe) != 0) return std::nullopt;
  std::vector<Row> rows;
  std::istringstream lines(text);
  std::string line, field;
  for (int number = 0; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number < 3) continue;
    std::istringstream fields(line);
    Row& row = rows.emplace_back();
    while (std::getline(fields, field, '\t')) row.push_back(field);
    if (!line.empty() && line.back() == '\t') row.emplace_back();
  }
  return rows;
}

class PackageTables : public ::testing::Test {
 protected:
  void SetUp() override {
    msi_ = PackagePath();
    if (msi_.empty() || !Table(msi_, "Directory")) GTEST_SKIP() << "no package or no msiinfo";
  }
  std::vector<Row> Rows(const char* table) {
    return Table(msi_, table).value_or(std::vector<Row>{});
  }
  std::string msi_;
};

TEST_F(PackageTables, ProgramFolderUnderProgramFilesAndOnlyEverMovedToAnEarlierChoice) {
  std::map<std::string, std::string> parent;
  for (const Row& row : Rows("Directory")) parent[row.at(0)] = row.at(1);
  EXPECT_EQ(parent["INSTALLFOLDER"], "ProgramFilesFolder");
  EXPECT_EQ(parent["ProgramFilesFolder"], "TARGETDIR");
  // A custom action that sets INSTALLFOLDER (type 51) only takes the folder
  // of the earlier installation.
  for (const Row& row : Rows("CustomAction")) {
    if ((std::stoi(row.at(1)) & 0x3F) == 51 && row.at(2) == "INSTALLFOLDER") {
      EXPECT_EQ(row.at(3), "[PREVIOUSFOLDER]") << row.at(0);
    }
  }
}

TEST_F(PackageTables, ProgramFolderProtectedAndChangeableBySystemAndAdministratorsAlone) {
  bool folderLocked = false;
  for (const Row& row : Rows("MsiLockPermissionsEx")) {
    SCOPED_TRACE(row.at(0) + " " + row.at(3));
    const auto facts = ParseSddlDacl(DecodeUtf8Strict(row.at(3)).value_or(L""));
    ASSERT_TRUE(facts);
    // The empty card files alone: the users may write their content, never
    // delete them or change their permissions or owner.
    const bool cardFile = row.at(2) == "File" && (row.at(1) == "wz.txt" || row.at(1) == "zp.bmp");
    for (const OpenAccess& open : WhoCanChange(*facts)) {
      if (cardFile && open.sid == L"S-1-5-32-545" && (open.rights & ~0x6u) == 0 && !open.onFiles) {
        continue;
      }
      ADD_FAILURE() << U8(SidName(open.sid)) << " may change " << row.at(1);
    }
    if (row.at(1) == "INSTALLFOLDER" && row.at(2) == "CreateFolder") {
      folderLocked = true;
      EXPECT_TRUE(facts->isProtected) << "inherits from the folder above";
    }
  }
  EXPECT_TRUE(folderLocked) << "no access list for the program folder";
  EXPECT_TRUE(Rows("LockPermissions").empty());
}

}  // namespace
}  // namespace keyentry::test
