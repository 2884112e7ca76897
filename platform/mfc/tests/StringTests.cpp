#include "../../kernel/tests/TestDevice.h"
#include "MfcApi.h"

#include <gtest/gtest.h>

using namespace kivo;

TEST(CString, EditsAndSearches)
{
    CString text(u"  Hubscreen.exe  ");
    text.Trim();
    EXPECT_EQ(text, u"Hubscreen.exe");
    EXPECT_EQ(text.GetLength(), 13);
    EXPECT_EQ(text.Left(9), u"Hubscreen");
    EXPECT_EQ(text.Right(3), u"exe");
    EXPECT_EQ(text.Mid(10), u"exe");
    EXPECT_EQ(text.Mid(20), u"");
    EXPECT_EQ(text.Find(u'.'), 9);
    EXPECT_EQ(text.Find(u"scr"), 3);
    EXPECT_EQ(text.Find(u"zz"), -1);
    EXPECT_EQ(text.ReverseFind(u'e'), 12);
    // Compare is ordinal, as wcscmp: upper case sorts first.
    EXPECT_LT(CString(u"Zed").Compare(u"apple"), 0);
    EXPECT_EQ(CString(u"ABC").CompareNoCase(u"abc"), 0);
    CString path(u"NAND\\app\\x.txt");
    EXPECT_EQ(path.Replace(u"\\", u"/"), 2);
    EXPECT_EQ(path, u"NAND/app/x.txt");
    path.MakeUpper();
    EXPECT_EQ(path, u"NAND/APP/X.TXT");
    path.Delete(0, 5);
    path.Insert(0, u"SDMMC/");
    EXPECT_EQ(path, u"SDMMC/APP/X.TXT");
    EXPECT_EQ(path.Remove(u'/'), 2);
}

TEST(CString, FormatTakesWideTextAndBuffersGiveItBack)
{
    auto device = test::make_test_device();
    CString text;
    text.Format(u"-type:%d %s %02X", 3, u"hub", 10);
    EXPECT_EQ(text, u"-type:3 hub 0A");
    text.AppendFormat(u"|%5.1f", 2.25);
    EXPECT_EQ(text, u"-type:3 hub 0A|  2.2");
    CString buffer;
    LPWSTR raw = buffer.GetBuffer(16);
    raw[0] = u'o';
    raw[1] = u'k';
    raw[2] = 0;
    buffer.ReleaseBuffer();
    EXPECT_EQ(buffer, u"ok");
    EXPECT_EQ(buffer + u"!" + CString(u'?', 2), u"ok!??");
}

TEST(Collections, ArraysAndListsKeepOrderAndPositions)
{
    CStringArray names;
    names.Add(u"b");
    names.InsertAt(0, u"a");
    names.Add(u"c");
    names.RemoveAt(1);
    ASSERT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], u"a");
    EXPECT_EQ(names[1], u"c");

    CPtrList list;
    int values[4] = { 1, 2, 3, 4 };
    list.AddTail(&values[1]);
    list.AddTail(&values[3]);
    POSITION head = list.AddHead(&values[0]);
    list.InsertAfter(list.Find(&values[1]), &values[2]);
    std::vector<int> walked;
    for (POSITION at = list.GetHeadPosition(); at;)
        walked.push_back(*static_cast<int*>(list.GetNext(at)));
    EXPECT_EQ(walked, (std::vector<int> { 1, 2, 3, 4 }));
    list.RemoveAt(head);
    EXPECT_EQ(*static_cast<int*>(list.GetHead()), 2);
    EXPECT_EQ(*static_cast<int*>(list.GetAt(list.FindIndex(2))), 4);
    EXPECT_EQ(list.FindIndex(3), nullptr);
    walked.clear();
    for (POSITION at = list.GetTailPosition(); at;)
        walked.push_back(*static_cast<int*>(list.GetPrev(at)));
    EXPECT_EQ(walked, (std::vector<int> { 4, 3, 2 }));
    EXPECT_EQ(list.GetCount(), 3);
}

TEST(CRect, GeometryHelpers)
{
    CRect rect(10, 20, 110, 70);
    EXPECT_EQ(rect.Width(), 100);
    EXPECT_EQ(rect.Height(), 50);
    EXPECT_EQ(rect.CenterPoint(), CPoint(60, 45));
    EXPECT_TRUE(rect.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(rect.PtInRect(CPoint(110, 20)));
    rect.OffsetRect(-10, -20);
    rect.DeflateRect(10, 5);
    EXPECT_EQ(rect, CRect(10, 5, 90, 45));
    CRect overlap;
    EXPECT_FALSE(overlap.IntersectRect(rect, CRect(90, 0, 100, 10)));
    EXPECT_TRUE(overlap.IsRectEmpty());
}
