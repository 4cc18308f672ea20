#include "Afx.h"
#include "test_resource.h"
#include "framework_test_support.h"

#include <gtest/gtest.h>

TEST(CString, FindMidLeftRightFollowMfc)
{
    const CString s(L"USB Serial Device (COM12)");
    EXPECT_EQ(s.Find(L'('), 18);
    EXPECT_EQ(s.Find(L"COM"), 19);
    EXPECT_EQ(s.Find(L"COM", 20), -1);
    EXPECT_EQ(s.Find(L'x'), -1);
    EXPECT_EQ(s.Find(L'S', 100), -1);
    EXPECT_EQ(s.ReverseFind(L')'), 24);

    EXPECT_EQ(s.Mid(19, 5), L"COM12");
    EXPECT_EQ(s.Mid(19), L"COM12)");
    EXPECT_EQ(s.Mid(20, 100), L"OM12)");   // count clamped
    EXPECT_EQ(s.Mid(100), L"");
    EXPECT_EQ(s.Mid(-3, 3), L"USB");        // start clamped
    EXPECT_EQ(s.Left(3), L"USB");
    EXPECT_EQ(s.Left(-1), L"");
    EXPECT_EQ(s.Right(6), L"COM12)");
    EXPECT_EQ(s.Right(100), s);
}

TEST(CString, MakeUpperCoversTheWholeText)
{
    CString id(L"usb\\vid_2e9b&pid_0002&rev_0100\\\u00e9");
    id.MakeUpper();
    EXPECT_EQ(id, L"USB\\VID_2E9B&PID_0002&REV_0100\\\u00c9");
}

TEST(CString, FormatUsesWideConventions)
{
    CString s;
    s.Format(L"\\\\.\\COM%d", 12);
    EXPECT_EQ(s, L"\\\\.\\COM12");
    s.Format(L"baud=%d parity=%c data=%d stop=%d", 9600, L'N', 8, 1);
    EXPECT_EQ(s, L"baud=9600 parity=N data=8 stop=1");
    s.Format(L"faild:%x [%s]", 0x1f3u, L"\u4e2d");
    EXPECT_EQ(s, L"faild:1f3 [\u4e2d]");
    // Longer than any small first guess of a buffer.
    s.Format(L"%s%s", CString(L'a', 300).GetString(), CString(L'b', 300).GetString());
    EXPECT_EQ(s.GetLength(), 600);
    EXPECT_EQ(s.Find(L'b'), 300);
}

TEST(CString, BufferComparisonAndConcatenation)
{
    CString s;
    wcscpy_s(s.GetBuffer(16), 16, L"COM3");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_TRUE(s == L"COM3");
    EXPECT_TRUE(s != L"com3");
    EXPECT_EQ(s.CompareNoCase(L"com3"), 0);
    EXPECT_LT(s.Compare(L"COM4"), 0);

    const CString path = CString(L"C:\\Tapwire") + L"\\Config.ini";
    EXPECT_EQ(path, L"C:\\Tapwire\\Config.ini");
    EXPECT_TRUE(CString().IsEmpty());
}

TEST(CString, LoadStringReadsTheProgramsResources)
{
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_TEST_STRING));
    EXPECT_EQ(s, L"Hello, \u4e16\u754c");
    EXPECT_FALSE(s.LoadString(9999));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CMap, LookupSetAtAndRemoveKey)
{
    CMap<HWND, HWND, int, int> map;
    const HWND a = reinterpret_cast<HWND>(0x10);
    const HWND b = reinterpret_cast<HWND>(0x20);
    int value = 0;
    EXPECT_FALSE(map.Lookup(a, value));
    map.SetAt(a, 1);
    map[b] = 2;
    EXPECT_EQ(map.GetCount(), 2);
    ASSERT_TRUE(map.Lookup(b, value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(map.RemoveKey(a));
    EXPECT_FALSE(map.RemoveKey(a));
    EXPECT_FALSE(map.Lookup(a, value));
    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
}
