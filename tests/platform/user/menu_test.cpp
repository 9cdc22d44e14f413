// Menu handles with sub-menus: who owns a sub-menu, what the entry calls answer for it, and
// what goes when a menu or an entry is destroyed.
#include <gtest/gtest.h>

#include "platform/user/menu.h"

namespace {

win::UINT_PTR AsId(win::HMENU menu) {
  return reinterpret_cast<win::UINT_PTR>(menu);
}

TEST(MenuHandleTest, SubMenusBelongToTheirEntryAndGoWithIt) {
  win::HMENU top = win::CreatePopupMenu();
  win::HMENU sub = win::CreatePopupMenu();
  win::HMENU deeper = win::CreatePopupMenu();
  ASSERT_TRUE(win::AppendMenuA(deeper, win::MF_STRING, 7, "d"));
  ASSERT_TRUE(win::AppendMenuA(sub, win::MF_POPUP, AsId(deeper), "deeper"));
  ASSERT_TRUE(win::AppendMenuA(sub, win::MF_STRING, 5, "s"));
  ASSERT_TRUE(win::AppendMenuA(top, win::MF_STRING, 1, "a"));
  ASSERT_TRUE(win::InsertMenuA(top, 0, win::MF_BYPOSITION | win::MF_POPUP | win::MF_GRAYED,
                               AsId(sub), "sub"));

  EXPECT_EQ(win::GetSubMenu(top, 0), sub);
  EXPECT_EQ(win::GetSubMenu(top, 1), nullptr);
  EXPECT_EQ(win::GetSubMenu(top, 2), nullptr);
  EXPECT_EQ(win::GetSubMenu(top, -1), nullptr);
  EXPECT_EQ(win::GetMenuItemID(top, 0), win::UINT(-1));
  EXPECT_EQ(win::GetMenuItemID(top, 1), 1u);
  EXPECT_EQ(win::GetMenuState(top, 0, win::MF_BYPOSITION),
            win::MF_POPUP | win::MF_GRAYED | (2u << 8));
  char text[8] = {};
  EXPECT_EQ(win::GetMenuStringA(top, 0, text, sizeof text, win::MF_BYPOSITION), 3);
  EXPECT_STREQ(text, "sub");
  // By command, a sub-menu's handle is no command of the menu.
  EXPECT_EQ(win::GetMenuState(top, win::UINT(AsId(sub)), win::MF_BYCOMMAND), win::UINT(-1));

  // A sub-menu joins one menu only, never its own ancestors; a dead one not at all.
  struct Refusal {
    win::HMENU into;
    win::HMENU sub;
    win::DWORD error;
  };
  win::HMENU other = win::CreatePopupMenu();
  win::HMENU dead = win::CreatePopupMenu();
  win::DestroyMenu(dead);
  for (const Refusal& r : {Refusal{other, sub, win::ERROR_INVALID_PARAMETER},
                           Refusal{deeper, top, win::ERROR_INVALID_PARAMETER},
                           Refusal{deeper, deeper, win::ERROR_INVALID_PARAMETER},
                           Refusal{other, dead, win::ERROR_INVALID_HANDLE}}) {
    win::SetLastError(0);
    EXPECT_FALSE(win::AppendMenuA(r.into, win::MF_POPUP, AsId(r.sub), "x"));
    EXPECT_EQ(win::GetLastError(), r.error);
  }
  EXPECT_EQ(win::GetMenuItemCount(other), 0);
  // A new menu never takes a destroyed one's handle.
  win::HMENU after = win::CreatePopupMenu();
  EXPECT_NE(after, dead);
  EXPECT_FALSE(win::IsMenu(dead));
  win::DestroyMenu(after);
  EXPECT_EQ(win::GetMenuItemCount(deeper), 1);
  // Only a menu of its own is tracked.
  EXPECT_EQ(win::TrackPopupMenu(sub, win::TPM_RETURNCMD, 0, 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER);

  // Destroying a sub-menu takes its entry out of the menu; destroying the menu, all below.
  ASSERT_TRUE(win::DestroyMenu(deeper));
  EXPECT_EQ(win::GetMenuItemCount(sub), 1);
  EXPECT_EQ(win::GetMenuItemID(sub, 0), 5u);
  ASSERT_TRUE(win::DestroyMenu(top));
  EXPECT_FALSE(win::IsMenu(top));
  EXPECT_FALSE(win::IsMenu(sub));
  EXPECT_FALSE(win::DestroyMenu(sub));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  win::DestroyMenu(other);
}

TEST(MenuHandleTest, DeleteDestroysAnEntrysSubMenuAndRemoveHandsItBack) {
  win::HMENU top = win::CreatePopupMenu();
  win::HMENU kept = win::CreatePopupMenu();
  win::HMENU dropped = win::CreatePopupMenu();
  win::AppendMenuA(top, win::MF_POPUP, AsId(kept), "kept");
  win::AppendMenuA(top, win::MF_POPUP, AsId(dropped), "dropped");
  win::AppendMenuA(top, win::MF_STRING, 9, "nine");

  ASSERT_TRUE(win::DeleteMenu(top, 9, win::MF_BYCOMMAND));
  ASSERT_TRUE(win::DeleteMenu(top, 1, win::MF_BYPOSITION));
  EXPECT_FALSE(win::IsMenu(dropped));
  ASSERT_TRUE(win::RemoveMenu(top, 0, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetMenuItemCount(top), 0);
  // A removed sub-menu is a menu of its own again: it may join another, and it outlives top.
  EXPECT_TRUE(win::IsMenu(kept));
  EXPECT_FALSE(win::DeleteMenu(top, 0, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER);
  win::DestroyMenu(top);
  EXPECT_TRUE(win::IsMenu(kept));
  win::HMENU again = win::CreatePopupMenu();
  EXPECT_TRUE(win::AppendMenuA(again, win::MF_POPUP, AsId(kept), "kept"));
  win::DestroyMenu(again);
  EXPECT_FALSE(win::IsMenu(kept));
  EXPECT_FALSE(win::DeleteMenu(top, 0, win::MF_BYPOSITION));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

}  // namespace
