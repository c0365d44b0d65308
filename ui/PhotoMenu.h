#pragma once
// The photo box's right-click menu: 复制照片 puts the card's photo on the
// clipboard (as a bitmap and as PNG) for the operator; 保存照片… saves it
// through the usual save dialog, with the name and format {照片文件} uses.
// Files saved so are the operator's: they are never listed for deletion.
#include <windows.h>

#include <string>

#include "core/CardField.h"
#include "core/PhotoFiles.h"

namespace keyentry {

struct PhotoMenuContext {
  const std::string* photo = nullptr;  // the photo file as the reader wrote it; null: none
  const PhotoSettings* settings = nullptr;
  const CardFieldValues* card = nullptr;
  Date today;
};

// Shows the menu at `at` (screen coordinates) for the owner window and does
// what the operator chooses; both items are greyed without a photo.
void ShowPhotoMenu(HWND owner, POINT at, const PhotoMenuContext& context);

// 复制照片 and 保存照片… without the menu; false when it could not be done.
bool CopyPhotoToClipboard(HWND owner, const std::string& photo);
bool SavePhotoAs(HWND owner, const PhotoMenuContext& context);

}  // namespace keyentry
