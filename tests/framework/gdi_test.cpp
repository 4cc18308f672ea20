// The GDI wrappers: owned objects are deleted with their wrapper, wrappers of
// foreign handles are shared and never delete, and painting with fresh
// objects again and again leaves nothing behind.
#include "Afx.h"

#include <gtest/gtest.h>

namespace {

HBITMAP NewBitmap()
{
    return ::CreateBitmap(4, 4, 1, 32, nullptr);
}

} // namespace

TEST(GdiObjects, AnOwnedObjectIsDeletedWithItsWrapperAForeignOneIsNot)
{
    HBITMAP hOwned = NewBitmap();
    {
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.Attach(hOwned));
    }
    BITMAP info;
    EXPECT_EQ(::GetObjectW(hOwned, sizeof(info), &info), 0) << "the owned bitmap outlived its wrapper";

    HBITMAP hForeign = NewBitmap();
    CGdiObject* pWrapper = CGdiObject::FromHandle(hForeign);
    ASSERT_NE(pWrapper, nullptr);
    EXPECT_EQ(CGdiObject::FromHandle(hForeign), pWrapper);
    EXPECT_EQ(pWrapper->GetSafeHandle(), hForeign);
    EXPECT_NE(::GetObjectW(hForeign, sizeof(info), &info), 0);
    ::DeleteObject(hForeign);
}

// A paint handler loads its bitmaps, selects them into a memory DC and
// selects the old one back (which hands out a wrapper for the loaded bitmap):
// a thousand paints must not leave a thousand wrappers.
TEST(GdiObjects, PaintingWithFreshBitmapsDoesNotPileUpWrappers)
{
    auto paint = [] {
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.Attach(NewBitmap()));
        CDC memDC;
        ASSERT_TRUE(memDC.CreateCompatibleDC(nullptr));
        CGdiObject* pOld = memDC.SelectObject(&bitmap);
        ASSERT_NE(pOld, nullptr);
        EXPECT_EQ(memDC.SelectObject(pOld), CGdiObject::FromHandle(bitmap.GetSafeHandle()));
    };
    paint();
    const size_t nAfterFirst = CGdiObject::TemporaryWrapperCount();
    for (int i = 0; i < 1000; ++i)
        paint();
    EXPECT_LE(CGdiObject::TemporaryWrapperCount(), nAfterFirst);
}
