#pragma once
// The photo files the program writes for {照片文件}: their format, their
// names (a template of card values made safe for a file name), and which of
// them go when. A photo file is card data: every file written for a card is
// deleted when the card is cleared after 清除秒数, when the next card is
// read, at exit, and (left behind by a crash) at the next start. Files the
// operator saves from the photo box are the operator's and are never listed
// here.
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CardField.h"
#include "core/Template.h"

namespace keyentry {

enum class PhotoFormat { kJpeg, kPng, kBmp };

// "jpg" (or "jpeg"), "png", "bmp", in any case, with or without a dot.
std::optional<PhotoFormat> ParsePhotoFormat(std::wstring_view text);
// ".jpg", ".png", ".bmp".
const wchar_t* PhotoExtension(PhotoFormat format);

// The name used when the name template is unset, or gives an empty or a
// reserved name.
inline constexpr const wchar_t* kDefaultPhotoNameTemplate = L"{身份证号}";
// ... and when even that gives nothing (no identity number).
inline constexpr const wchar_t* kFallbackPhotoName = L"照片";
// The longest name (without the extension) kept, in UTF-16 units.
constexpr std::size_t kMaxPhotoNameLength = 100;

// The name made safe for a file name in a folder of its own, without an
// extension: characters Windows does not allow in a name (control
// characters and < > : " / \ | ? *) become "_", an image extension the name
// ends in (.jpg .jpeg .png .bmp) is left out, blanks and dots at both ends
// go, and the name is cut to kMaxPhotoNameLength (never inside a surrogate
// pair). Empty when nothing but "_", dots and blanks is left, or when the
// name is one Windows reserves for a device (CON, PRN, AUX, NUL, COM1..COM9,
// LPT1..LPT9, also followed by an extension).
std::wstring SafePhotoName(std::wstring_view name);

// Whether a template can name a photo file: it gives card values, dates and
// literal text only (no key, pause or photo).
bool NamesFileOnly(const Template& nameTemplate);

// The file name, with the format's extension, for this card: the name
// template (null: the default) expanded and made safe; an empty or reserved
// result falls back to the default name, then to kFallbackPhotoName.
std::wstring PhotoFileName(const Template* nameTemplate, const CardFieldValues& card,
                           const Date& today, PhotoFormat format);

// [照片]: the files {照片文件} writes.
struct PhotoSettings {
  PhotoFormat format = PhotoFormat::kJpeg;
  std::wstring folder;                   // a full path; empty: the operator's own default
  std::optional<Template> nameTemplate;  // none: {身份证号}
};

// What an entry that uses the photo carries: the photo file as the reader
// wrote it (null: no photo), and where and how {照片文件} writes it.
struct PhotoJob {
  std::shared_ptr<const std::string> file;
  PhotoFormat format = PhotoFormat::kJpeg;
  std::wstring folder;    // empty: the operator's own default
  std::wstring fileName;  // with its extension
};
PhotoJob PhotoJobFor(std::shared_ptr<const std::string> file, const PhotoSettings& settings,
                     const CardFieldValues& card, const Date& today);

// The files written for {照片文件} that still exist (full paths, each once).
// Thread-safe: files are written on the typing thread, the events come from
// the interface thread.
class WrittenPhotos {
 public:
  // A file has been written (or written again).
  void Written(const std::wstring& path);
  // The files to delete when the card is cleared, the next card is read or
  // the program ends: every one listed, in the order first written. They
  // stay listed until Deleted() says they are gone, so one that could not be
  // deleted (held open by another program) is tried again the next time.
  std::vector<std::wstring> Due() const;
  // The file is gone (deleted, or found missing).
  void Deleted(const std::wstring& path);
  bool Empty() const;

  // The list as kept on disk, so that a crash leaves a record of its files:
  // one full path a line, each line ending in "\n".
  std::wstring LedgerText() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::wstring> paths_;
};

// The paths a ledger left by an earlier run lists (each once; blank lines
// and lines that are not a full path left out): the files to delete at start.
std::vector<std::wstring> ParsePhotoLedger(std::wstring_view text);

}  // namespace keyentry
