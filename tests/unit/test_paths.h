// The folders and commands the tests expect for user1 on C:, one package id.
#ifndef BRENTHAUL_TESTS_TEST_PATHS_H
#define BRENTHAUL_TESTS_TEST_PATHS_H

#include <string>

const std::wstring kId = L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b";
const std::wstring kLocalVfs = L"C:\\Users\\user1\\AppData\\Local\\Microsoft\\AppV\\Client\\VFS";
const std::wstring kSavedArea =
    L"C:\\Users\\user1\\AppData\\Roaming\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal";
const std::wstring kLocalPackage = kLocalVfs + L"\\" + kId;
const std::wstring kSavedPackage = kSavedArea + L"\\" + kId;

inline std::wstring Mirror(const std::wstring& source, const std::wstring& destination) {
    return L"robocopy \"" + source + L"\" \"" + destination +
           L"\" /MIR /NS /NC /NFL /NDL /NP > nul";
}

inline std::wstring Removal(const std::wstring& folder) { return L"rm -r \"" + folder + L"\""; }

#endif
