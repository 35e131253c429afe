#include "common/bounded_format.h"

#include <gtest/gtest.h>

#include <string>

TEST(FormatText, FillsWideStringsAndHexadecimal) {
    wchar_t buffer[40];
    ASSERT_TRUE(FormatText(buffer, 40, L"%ls|%ls|0x%x", L"C:", L"user 1", 0xffffffffu));
    EXPECT_EQ(std::wstring(buffer), L"C:|user 1|0xffffffff");
}

TEST(FormatText, TextThatFillsTheBufferExactlyFits) {
    wchar_t buffer[4];
    ASSERT_TRUE(FormatText(buffer, 4, L"%ls", L"abc"));
    EXPECT_EQ(std::wstring(buffer), L"abc");
}

TEST(FormatText, TextOneTooLongIsRefusedAndLeftEmpty) {
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_FALSE(FormatText(buffer, 4, L"%ls", L"abcd"));
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_FALSE(FormatText(buffer, 0, L"%ls", L""));
}

TEST(TextLength, StopsAtTheTerminatorOrTheCapacity) {
    const wchar_t text[5] = {L'a', L'b', L'c', L'd', L'e'};
    EXPECT_EQ(TextLength(L"abc", 10), 3u);
    EXPECT_EQ(TextLength(text, 5), 5u);
}

TEST(MaskControlCharacters, ReplacesOnlyC0ControlsWithinTheLength) {
    wchar_t text[] = L"a\r\nb\tc\x1f d\x7f\x85\u2028\x01";
    MaskControlCharacters(text, 12);
    EXPECT_EQ(std::wstring(text), L"a??b?c? d\x7f\x85\u2028\x01");
}
