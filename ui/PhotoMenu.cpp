#include "ui/PhotoMenu.h"

#include <commdlg.h>

#include <vector>

#include "core/Texts.h"
#include "core/Wipe.h"
#include "platform/Clipboard.h"
#include "platform/ImageCodec.h"
#include "platform/Win32FileStore.h"
#include "ui/res/resource.h"

namespace keyentry {

namespace {

// The save dialog of the system's common dialogs, found when needed: the
// program imports nothing more for it.
using GetSaveFileNameProc = BOOL(WINAPI*)(LPOPENFILENAMEW);

bool AskSavePath(HWND owner, std::wstring& path, DWORD& filterIndex) {
  // From the system folder only, never one planted beside the program.
  wchar_t system[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const HMODULE dialogs = ::LoadLibraryW((std::wstring(system) + L"\\comdlg32.dll").c_str());
  if (!dialogs) return false;
  const auto getSaveFileName = reinterpret_cast<GetSaveFileNameProc>(
      reinterpret_cast<void*>(::GetProcAddress(dialogs, "GetSaveFileNameW")));
  bool chosen = false;
  if (getSaveFileName) {
    std::vector<wchar_t> buffer(32768, L'\0');
    path.copy(buffer.data(), buffer.size() - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kSavePhotoFilter;
    dialog.nFilterIndex = filterIndex;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = kSavePhotoTitle;
    dialog.lpstrDefExt = L"jpg";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    chosen = getSaveFileName(&dialog) != FALSE;
    if (chosen) {
      path = buffer.data();
      filterIndex = dialog.nFilterIndex;
    }
    WipeMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
  }
  ::FreeLibrary(dialogs);
  return chosen;
}

// The format a chosen path asks for: its extension, else the file type chosen.
PhotoFormat FormatOf(const std::wstring& path, DWORD filterIndex) {
  const std::size_t dot = path.find_last_of(L'.');
  const std::size_t slash = path.find_last_of(L"\\/");
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
    if (const auto format = ParsePhotoFormat(std::wstring_view(path).substr(dot))) return *format;
  }
  return filterIndex == 2   ? PhotoFormat::kPng
         : filterIndex == 3 ? PhotoFormat::kBmp
                            : PhotoFormat::kJpeg;
}

DWORD FilterIndexOf(PhotoFormat format) {
  return format == PhotoFormat::kPng ? 2 : format == PhotoFormat::kBmp ? 3 : 1;
}

}  // namespace

bool CopyPhotoToClipboard(HWND owner, const std::string& photo) {
  const ComApartment com;
  std::optional<std::string> dib = ImageAsPackedDib(photo);
  std::optional<EncodedImage> png = ConvertImage(photo, PhotoFormat::kPng);
  bool copied = false;
  if (dib && png) {
    ClipboardImage image;
    image.dib.swap(*dib);
    image.png.swap(png->bytes);
    copied = CopyImageToClipboard(owner, image);
    WipeText(image.dib);
    WipeText(image.png);
  }
  if (dib) WipeText(*dib);
  if (png) WipeText(png->bytes);
  return copied;
}

bool SavePhotoAs(HWND owner, const PhotoMenuContext& context) {
  if (!context.photo || !context.settings || !context.card) return false;
  const PhotoSettings& settings = *context.settings;
  std::wstring path = PhotoFileName(settings.nameTemplate ? &*settings.nameTemplate : nullptr,
                                    *context.card, context.today, settings.format);
  DWORD filterIndex = FilterIndexOf(settings.format);
  const bool chosen = AskSavePath(owner, path, filterIndex);
  if (!chosen) {
    WipeText(path);
    return true;  // the operator cancelled: nothing to say
  }
  const ComApartment com;
  std::optional<EncodedImage> image = ConvertImage(*context.photo, FormatOf(path, filterIndex));
  Win32FileStore files;
  const bool saved = image && files.Replace(path, image->bytes);
  if (image) WipeText(image->bytes);
  WipeText(path);
  return saved;
}

void ShowPhotoMenu(HWND owner, POINT at, const PhotoMenuContext& context) {
  const HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  const UINT state = context.photo ? MF_ENABLED : MF_GRAYED;
  ::AppendMenuW(menu, MF_STRING | state, IDM_PHOTO_COPY, kMenuCopyPhoto);
  ::AppendMenuW(menu, MF_STRING | state, IDM_PHOTO_SAVE, kMenuSavePhoto);
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
  ::DestroyMenu(menu);
  if (!context.photo) return;
  if (chosen == IDM_PHOTO_COPY && !CopyPhotoToClipboard(owner, *context.photo)) {
    ::MessageBeep(MB_ICONWARNING);
    ::MessageBoxW(owner, kCopyPhotoFailed, kAppTitle, MB_OK | MB_ICONWARNING);
  } else if (chosen == IDM_PHOTO_SAVE && !SavePhotoAs(owner, context)) {
    ::MessageBoxW(owner, kSavePhotoFailed, kAppTitle, MB_OK | MB_ICONWARNING);
  }
}

}  // namespace keyentry
