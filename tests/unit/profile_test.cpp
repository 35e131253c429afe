#include "profile/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/fake_platform.h"

namespace {

class ProfileRoots : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

struct RootsCase {
    const char* name;
    bool userNameObtained;
    std::wstring userName;
    bool systemDriveSet;
    std::wstring systemDrive;
    RootsStatus status;
    std::wstring roaming;  // expected roots when usable
    std::wstring local;
};

void PrintTo(const RootsCase& c, std::ostream* os) { *os << c.name; }

class RootsTable : public ::testing::TestWithParam<RootsCase> {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

const std::wstring k256(256, L'x');

const RootsCase kRootsCases[] = {
    {"plain", true, L"user1", true, L"C:", kRootsUsable, L"C:\\Users\\user1\\AppData\\Roaming",
     L"C:\\Users\\user1\\AppData\\Local"},
    {"trailing_backslash_kept", true, L"user1", true, L"C:\\", kRootsUsable,
     L"C:\\\\Users\\user1\\AppData\\Roaming", L"C:\\\\Users\\user1\\AppData\\Local"},
    {"blanks_kept", true, L"user 1", true, L"C:", kRootsUsable,
     L"C:\\Users\\user 1\\AppData\\Roaming", L"C:\\Users\\user 1\\AppData\\Local"},
    {"non_ascii_kept", true, L"J\u00fcrgen \u0141", true, L"D:", kRootsUsable,
     L"D:\\Users\\J\u00fcrgen \u0141\\AppData\\Roaming",
     L"D:\\Users\\J\u00fcrgen \u0141\\AppData\\Local"},
    {"ampersand_is_quoted_not_refused", true, L"a&b", true, L"C:", kRootsUsable,
     L"C:\\Users\\a&b\\AppData\\Roaming", L"C:\\Users\\a&b\\AppData\\Local"},
    {"user_name_lookup_failed", false, L"user1", true, L"C:", kNoUserName, L"", L""},
    {"user_name_empty", true, L"", true, L"C:", kNoUserName, L"", L""},
    {"user_name_too_long_for_lookup", true, k256 + L"y", true, L"C:", kNoUserName, L"", L""},
    {"system_drive_unset", true, L"user1", false, L"", kNoSystemDrive, L"", L""},
    {"system_drive_empty", true, L"user1", true, L"", kNoSystemDrive, L"", L""},
    // 256 characters fit the user name buffer but not the roots.
    {"root_too_long", true, k256, true, L"C:", kRootTooLong, L"", L""},
    {"quote_in_user_name", true, L"a\"b", true, L"C:", kUnsafeCharacter, L"", L""},
    {"percent_in_user_name", true, L"%USERNAME%", true, L"C:", kUnsafeCharacter, L"", L""},
    {"control_character_in_user_name", true, L"a\tb", true, L"C:", kUnsafeCharacter, L"", L""},
    {"quote_in_system_drive", true, L"user1", true, L"C:\"", kUnsafeCharacter, L"", L""},
    {"percent_in_system_drive", true, L"user1", true, L"%X%", kUnsafeCharacter, L"", L""},
    {"newline_in_system_drive", true, L"user1", true, L"C:\n", kUnsafeCharacter, L"", L""},
};

TEST_P(RootsTable, WorksOutTheRootsOrNamesWhyNot) {
    const RootsCase& c = GetParam();
    Fake().userNameObtained = c.userNameObtained;
    Fake().userName = c.userName;
    Fake().systemDriveSet = c.systemDriveSet;
    Fake().systemDrive = c.systemDrive;

    EXPECT_EQ(InitProfileRoots(), c.status);
    if (c.status == kRootsUsable) {
        EXPECT_EQ(std::wstring(g_roamingRoot), c.roaming);
        EXPECT_EQ(std::wstring(g_localRoot), c.local);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RootsTable, ::testing::ValuesIn(kRootsCases),
                         [](const ::testing::TestParamInfo<RootsCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProfileRoots, LongestRootThatFitsIsUsedWhole) {
    // "C:\Users\" (9) + name + "\AppData\Roaming" (16) = 256 characters, the most that fit.
    Fake().userName = std::wstring(231, L'u');
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    EXPECT_EQ(std::wstring(g_roamingRoot).size(), 256u);
    Fake().userName = std::wstring(232, L'u');
    EXPECT_EQ(InitProfileRoots(), kRootTooLong);
    EXPECT_EQ(g_roamingRoot[0], L'\0');
    EXPECT_EQ(g_localRoot[0], L'\0');
}

TEST_F(ProfileRoots, AskForTheUserNameFirstThenSystemDrive) {
    InitProfileRoots();
    ASSERT_GE(Fake().calls.size(), 2u);
    EXPECT_EQ(Fake().calls[0].kind, "username");
    EXPECT_EQ(Fake().calls[1].kind, "getenv");
    EXPECT_EQ(Fake().calls[1].text, L"SystemDrive");
}

TEST_F(ProfileRoots, CausesAreNamedOnOneLine) {
    for (RootsStatus status : {kNoUserName, kNoSystemDrive, kRootTooLong, kUnsafeCharacter}) {
        const std::string line = DescribeRootsStatus(status);
        EXPECT_EQ(line.rfind("Brenthaul: ", 0), 0u) << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
    EXPECT_NE(std::string(DescribeRootsStatus(kNoSystemDrive)).find("SystemDrive"),
              std::string::npos);
}

TEST_F(ProfileRoots, FolderTemplates) {
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    const wchar_t* id = L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b";
    wchar_t folder[kFolderCapacity];
    ASSERT_TRUE(PackageLocalFolder(folder, kFolderCapacity, id));
    EXPECT_EQ(std::wstring(folder),
              std::wstring(L"C:\\Users\\user1\\AppData\\Local\\Microsoft\\AppV"
                           L"\\Client\\VFS\\") +
                  id);
    ASSERT_TRUE(PackageSavedFolder(folder, kFolderCapacity, id));
    EXPECT_EQ(std::wstring(folder), std::wstring(L"C:\\Users\\user1\\AppData\\Roaming\\Microsoft"
                                                 L"\\AppV\\Client\\VFS\\SavedFromLocal\\") +
                                        id);
    ASSERT_TRUE(VfsFolder(folder, kFolderCapacity));
    EXPECT_EQ(std::wstring(folder),
              L"C:\\Users\\user1\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS");
    ASSERT_TRUE(SavedArea(folder, kFolderCapacity));
    EXPECT_EQ(std::wstring(folder),
              L"C:\\Users\\user1\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal");
    EXPECT_FALSE(PackageLocalFolder(folder, 20, id));
    EXPECT_EQ(folder[0], L'\0');
}

}  // namespace
