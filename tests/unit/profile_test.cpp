#include "profile/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "common/events.h"
#include "platform/platform.h"
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

// --- the roots against the folders Windows set for the user at logon -------------------------

struct LogonFolderCase {
    const char* name;
    std::wstring systemDrive;
    std::wstring userName;
    bool localSet;
    std::wstring local;  // LOCALAPPDATA
    bool roamingSet;
    std::wstring roaming;  // APPDATA
    bool own;
};

void PrintTo(const LogonFolderCase& c, std::ostream* os) { *os << c.name; }

const std::wstring kLocal = L"C:\\Users\\user1\\AppData\\Local";
const std::wstring kRoaming = L"C:\\Users\\user1\\AppData\\Roaming";

const LogonFolderCase kLogonFolderCases[] = {
    {"both_unset", L"C:", L"user1", false, L"", false, L"", true},
    {"both_empty", L"C:", L"user1", true, L"", true, L"", true},
    {"both_the_same", L"C:", L"user1", true, kLocal, true, kRoaming, true},
    {"letter_case_differs", L"C:", L"user1", true, L"c:\\USERS\\User1\\appdata\\LOCAL", true,
     L"C:\\users\\USER1\\AppData\\roaming", true},
    {"doubled_backslashes", L"C:", L"user1", true, L"C:\\\\Users\\\\\\user1\\AppData\\Local", true,
     L"C:\\Users\\user1\\\\AppData\\Roaming", true},
    {"trailing_backslashes", L"C:", L"user1", true, kLocal + L"\\", true, kRoaming + L"\\\\", true},
    {"system_drive_with_backslash", L"C:\\", L"user1", true, kLocal, true, kRoaming, true},
    {"only_local_set", L"C:", L"user1", true, kLocal, false, L"", true},
    {"profile_folder_with_domain", L"C:", L"user1", true,
     L"C:\\Users\\user1.CONTOSO\\AppData\\Local", true,
     L"C:\\Users\\user1.CONTOSO\\AppData\\Roaming", false},
    {"roaming_redirected_to_a_share", L"C:", L"user1", true, kLocal, true,
     L"\\\\server\\profiles$\\user1\\AppData\\Roaming", false},
    {"local_on_another_drive", L"C:", L"user1", true, L"D:\\Users\\user1\\AppData\\Local", false,
     L"", false},
    {"renamed_account", L"C:", L"newname", true, L"C:\\Users\\oldname\\AppData\\Local", true,
     L"C:\\Users\\oldname\\AppData\\Roaming", false},
    {"variable_is_a_subfolder", L"C:", L"user1", true, kLocal + L"\\x", true, kRoaming, false},
    {"variable_is_shorter", L"C:", L"user1", true, L"C:\\Users\\user1\\AppData", true, kRoaming,
     false},
    {"only_a_backslash", L"C:", L"user1", true, L"\\", true, kRoaming, false},
    // Only ASCII letters are folded: a needless warning, never a missed one.
    {"non_ascii_letter_case", L"C:", L"J\u00fcrgen", true,
     L"C:\\Users\\J\u00dcrgen\\AppData\\Local", true, L"C:\\Users\\J\u00fcrgen\\AppData\\Roaming",
     false},
    {"non_ascii_the_same", L"C:", L"J\u00fcrgen", true, L"C:\\Users\\j\u00fcrgen\\AppData\\Local",
     true, L"C:\\Users\\J\u00fcrgen\\AppData\\Roaming", true},
    // 'k' and the Kelvin sign are the same letter for Windows, not here.
    {"kelvin_sign", L"C:", L"kim", true, L"C:\\Users\\\u212aim\\AppData\\Local", false, L"", false},
};

class LogonFolders : public ::testing::TestWithParam<LogonFolderCase> {
protected:
    void SetUp() override { ResetFakeSystem(); }
};

TEST_P(LogonFolders, CompareWithoutCaseAndDoubledBackslashes) {
    const LogonFolderCase& c = GetParam();
    Fake().systemDrive = c.systemDrive;
    Fake().userName = c.userName;
    if (c.localSet) Fake().environment[L"LOCALAPPDATA"] = c.local;
    if (c.roamingSet) Fake().environment[L"APPDATA"] = c.roaming;
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    EXPECT_EQ(RootsAreTheUsersOwn(), c.own);
    EXPECT_TRUE(Fake().Events().empty());  // comparing records nothing
}

INSTANTIATE_TEST_SUITE_P(Cases, LogonFolders, ::testing::ValuesIn(kLogonFolderCases),
                         [](const ::testing::TestParamInfo<LogonFolderCase>& info) {
                             return std::string(info.param.name);
                         });

const std::wstring kRootsCheck =
    L"What to check: Brenthaul builds the folders as <SystemDrive>\\Users\\<user "
    L"name>\\AppData\\Local and ...\\AppData\\Roaming. A profile folder named otherwise than the "
    L"account (such as user1.DOMAIN, or after the account was renamed), profiles on another "
    L"drive, and AppData\\Roaming redirected to a share are not followed.";

std::wstring RootsText(const std::wstring& lines) {
    return L"The save of package x for user user1 used profile folders that are not the ones "
           L"Windows set for this user at logon, so its data may be saved to, or restored from, "
           L"a folder that does not roam. The transfer ran as usual.\r\n" +
           lines + kRootsCheck;
}

TEST_F(ProfileRoots, RootsEventNamesEachRootThatDiffersAndItsVariable) {
    Fake().environment[L"LOCALAPPDATA"] = L"C:\\Users\\user1.CONTOSO\\AppData\\Local";
    Fake().environment[L"APPDATA"] = L"\\\\server\\profiles$\\user1\\AppData\\Roaming";
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    Fake().calls.clear();
    ReportRootsNotTheUsersOwn(L"save of package x");
    const std::vector<FakeCall> events = Fake().Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, kEventWarning);
    EXPECT_EQ(events[0].id, kEventRootsNotOwn);
    EXPECT_EQ(events[0].text,
              RootsText(L"Local root: C:\\Users\\user1\\AppData\\Local, but LOCALAPPDATA is "
                        L"C:\\Users\\user1.CONTOSO\\AppData\\Local\r\n"
                        L"Roaming root: C:\\Users\\user1\\AppData\\Roaming, but APPDATA is "
                        L"\\\\server\\profiles$\\user1\\AppData\\Roaming\r\n"));

    // Only the root that differs is named.
    ResetFakeSystem();
    Fake().environment[L"LOCALAPPDATA"] = L"C:\\USERS\\user1\\AppData\\Local";
    Fake().environment[L"APPDATA"] = L"H:\\Roaming";
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    ReportRootsNotTheUsersOwn(L"save of package x");
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(Fake().Events()[0].text,
              RootsText(L"Roaming root: C:\\Users\\user1\\AppData\\Roaming, but APPDATA is "
                        L"H:\\Roaming\r\n"));
}

TEST_F(ProfileRoots, RootsEventNamesAVariableTooLongToShowWithoutCuttingIt) {
    Fake().environment[L"APPDATA"] = L"\\\\server\\" + std::wstring(32000, L'r');
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    EXPECT_FALSE(RootsAreTheUsersOwn());
    ReportRootsNotTheUsersOwn(L"save of package x");
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(Fake().Events()[0].text,
              RootsText(L"Roaming root: C:\\Users\\user1\\AppData\\Roaming, but APPDATA names "
                        L"another folder (too long to show)\r\n"));
}

TEST_F(ProfileRoots, AVariableCannotAddLinesToTheText) {
    Fake().environment[L"LOCALAPPDATA"] = L"D:\\x\r\nWhat to check: nothing";
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    ReportRootsNotTheUsersOwn(L"save of package x");
    ASSERT_EQ(Fake().Events().size(), 1u);
    EXPECT_EQ(Fake().Events()[0].text,
              RootsText(L"Local root: C:\\Users\\user1\\AppData\\Local, but LOCALAPPDATA is "
                        L"D:\\x??What to check: nothing\r\n"));
}

TEST_F(ProfileRoots, RootsEventOfTheLongestRootsFitsWhole) {
    const std::wstring user(231, L'u');
    Fake().userName = user;
    Fake().environment[L"LOCALAPPDATA"] = L"D:\\" + std::wstring(700, L'l');
    Fake().environment[L"APPDATA"] = L"D:\\" + std::wstring(700, L'r');
    ASSERT_EQ(InitProfileRoots(), kRootsUsable);
    ReportRootsNotTheUsersOwn(L"clean restore of package 6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b");
    ASSERT_EQ(Fake().Events().size(), 1u);
    const std::wstring& text = Fake().Events()[0].text;
    EXPECT_NE(text.find(L"but LOCALAPPDATA is D:\\" + std::wstring(700, L'l') + L"\r\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"but APPDATA is D:\\" + std::wstring(700, L'r') + L"\r\n"),
              std::wstring::npos);
    EXPECT_LT(text.size(), kEventTextCapacity);
}

}  // namespace
