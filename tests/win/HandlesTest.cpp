// The scoped owners of device contexts and GDI objects in platform/Handles.h.
#include <gtest/gtest.h>

#include "Harness.h"
#include "platform/Handles.h"

namespace keyentry::wintest {
namespace {

TEST(Handles, SelectedObjectPutsBackWhatItReplacedAndOwnersDeleteTheirObjects) {
  HDC memoryHandle = nullptr;
  HBITMAP bitmapHandle = nullptr;
  {
    const WindowDC screen(nullptr);
    ASSERT_TRUE(screen);
    const UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
    ASSERT_TRUE(memory);
    const UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 4, 4));
    ASSERT_TRUE(bitmap);
    memoryHandle = memory.get();
    bitmapHandle = bitmap.get();
    const HGDIOBJ before = ::GetCurrentObject(memory.get(), OBJ_BITMAP);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(before, bitmap.get());
    {
      const SelectedObject selected(memory.get(), bitmap.get());
      EXPECT_EQ(::GetCurrentObject(memory.get(), OBJ_BITMAP), bitmap.get());
    }
    EXPECT_EQ(::GetCurrentObject(memory.get(), OBJ_BITMAP), before);
    {
      const SelectedObject nothing(memory.get(), nullptr);
      EXPECT_EQ(::GetCurrentObject(memory.get(), OBJ_BITMAP), before);
    }
    EXPECT_EQ(::GetCurrentObject(memory.get(), OBJ_BITMAP), before);
    EXPECT_EQ(::GetObjectType(bitmapHandle), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(::GetObjectType(memoryHandle), static_cast<DWORD>(OBJ_MEMDC));
  }
  // Both are gone at the end of their scope (a bitmap still selected into a
  // device context could not have been deleted).
  EXPECT_EQ(::GetObjectType(bitmapHandle), 0u);
  EXPECT_EQ(::GetObjectType(memoryHandle), 0u);
}

TEST(Handles, WindowDcBelongsToItsWindow) {
  TargetEdit target;
  const WindowDC dc(target.Edit());
  ASSERT_TRUE(dc);
  EXPECT_EQ(::WindowFromDC(dc.get()), target.Edit());
}

}  // namespace
}  // namespace keyentry::wintest
