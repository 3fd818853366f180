// The scoped Win32 owners give back what they hold, once, and only what they hold.
#include "platform/scoped_win.h"

#include <gtest/gtest.h>

namespace melvane {
namespace {

bool Alive(HGDIOBJ object) {
    return GetObjectType(object) != 0;
}

TEST(ScopedWin, GdiObjectsAndContextsGoWithTheirOwners) {
    HFONT font = nullptr;
    HFONT moved = nullptr;
    HDC dc = nullptr;
    {
        ScopedFont owner(CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     0, 0, 0, 0, L"Arial"));
        font = owner.Get();
        ScopedFont next(std::move(owner));
        EXPECT_EQ(owner.Get(), nullptr);
        next.Reset(CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                               0, L"Arial"));
        EXPECT_FALSE(Alive(font));  // replaced, so deleted
        moved = next.Get();
        EXPECT_TRUE(Alive(moved));

        const ScopedMemoryDc memory;
        dc = memory.Get();
        const HGDIOBJ original = GetCurrentObject(dc, OBJ_FONT);
        {
            const ScopedSelection selected(dc, moved);
            EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), moved);
        }
        EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), original);
        const ScopedSelection nothing(nullptr, moved);  // no context: nothing to undo
    }
    EXPECT_FALSE(Alive(moved));
    EXPECT_FALSE(Alive(dc));
}

TEST(ScopedWin, ComIsBalancedEvenWhenTheThreadHadItAlready) {
    {
        const ScopedComInitialisation outer;
        const ScopedComInitialisation inner;  // S_FALSE, undone all the same
        // Still a single-threaded apartment: the other model is refused.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    }
    // Both undone: the thread is free to choose again.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) {
        CoUninitialize();
    }
}

}  // namespace
}  // namespace melvane
