#include "core/PhotoFiles.h"

#include <algorithm>
#include <utility>

#include "core/TextTools.h"

namespace keyentry {

namespace {

bool EndsWithIgnoringCase(std::wstring_view text, std::wstring_view end) {
  return text.size() >= end.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - end.size()), end);
}

bool IsBlankOrDot(wchar_t c) { return c == L' ' || c == L'.' || c == L'\t' || c == 0x3000; }

bool NotAllowedInName(wchar_t c) {
  return c < 0x20 || c == 0x7F ||
         std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos;
}

// CON, PRN, AUX, NUL, COM1..9, LPT1..9 (also with the superscript digits
// Windows counts as well), in any case.
bool IsReservedDeviceName(std::wstring_view stem) {
  while (!stem.empty() && IsBlankOrDot(stem.back())) stem.remove_suffix(1);
  for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (EqualsIgnoringAsciiCase(stem, name)) return true;
  }
  if (stem.size() != 4) return false;
  const std::wstring_view head = stem.substr(0, 3);
  if (!EqualsIgnoringAsciiCase(head, L"COM") && !EqualsIgnoringAsciiCase(head, L"LPT")) {
    return false;
  }
  const wchar_t digit = stem[3];
  return (digit >= L'1' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool IsFullPathName(std::wstring_view path) {
  const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() > 2 && separator(path[0]) && separator(path[1])) return true;
  const bool letter = path.size() > 3 && ((path[0] >= L'A' && path[0] <= L'Z') ||
                                          (path[0] >= L'a' && path[0] <= L'z'));
  return letter && path[1] == L':' && separator(path[2]);
}

std::wstring ExpandedText(const Template& nameTemplate, const CardFieldValues& card,
                          const Date& today) {
  std::wstring text;
  for (const TypingStep& step : nameTemplate.Expand(card, today, 0)) {
    if (step.kind == StepKind::kText) text += step.text;
  }
  return text;
}

}  // namespace

std::optional<PhotoFormat> ParsePhotoFormat(std::wstring_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == L'.') text.remove_prefix(1);
  if (EqualsIgnoringAsciiCase(text, L"jpg") || EqualsIgnoringAsciiCase(text, L"jpeg")) {
    return PhotoFormat::kJpeg;
  }
  if (EqualsIgnoringAsciiCase(text, L"png")) return PhotoFormat::kPng;
  if (EqualsIgnoringAsciiCase(text, L"bmp")) return PhotoFormat::kBmp;
  return std::nullopt;
}

const wchar_t* PhotoExtension(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng:
      return L".png";
    case PhotoFormat::kBmp:
      return L".bmp";
    case PhotoFormat::kJpeg:
      break;
  }
  return L".jpg";
}

std::wstring SafePhotoName(std::wstring_view name) {
  std::wstring safe;
  safe.reserve(name.size());
  for (wchar_t c : name) safe += NotAllowedInName(c) ? L'_' : c;
  for (const wchar_t* ext : {L".jpg", L".jpeg", L".png", L".bmp"}) {
    if (EndsWithIgnoringCase(safe, ext)) {
      safe.resize(safe.size() - std::wstring_view(ext).size());
      break;
    }
  }
  const auto trim = [&] {
    std::size_t begin = 0;
    while (begin < safe.size() && IsBlankOrDot(safe[begin])) ++begin;
    safe.erase(0, begin);
    while (!safe.empty() && IsBlankOrDot(safe.back())) safe.pop_back();
  };
  trim();
  if (safe.size() > kMaxPhotoNameLength) {
    std::size_t cut = kMaxPhotoNameLength;
    if (safe[cut - 1] >= 0xD800 && safe[cut - 1] <= 0xDBFF) --cut;  // a pair stays whole
    safe.resize(cut);
    trim();
  }
  const bool onlyFiller =
      std::all_of(safe.begin(), safe.end(), [](wchar_t c) { return c == L'_' || IsBlankOrDot(c); });
  if (onlyFiller) return {};
  // "CON.jpg" or "nul .x" name the device as much as "CON" does.
  if (IsReservedDeviceName(std::wstring_view(safe).substr(0, safe.find(L'.')))) return {};
  return safe;
}

bool NamesFileOnly(const Template& nameTemplate) {
  using Kind = Template::ItemKind;
  return std::none_of(nameTemplate.Items().begin(), nameTemplate.Items().end(),
                      [](const Template::Item& item) {
                        return item.kind == Kind::kKey || item.kind == Kind::kDelay ||
                               item.kind == Kind::kPhoto || item.kind == Kind::kPhotoFile;
                      });
}

std::wstring PhotoFileName(const Template* nameTemplate, const CardFieldValues& card,
                           const Date& today, PhotoFormat format) {
  std::wstring name;
  if (nameTemplate && NamesFileOnly(*nameTemplate)) {
    name = SafePhotoName(ExpandedText(*nameTemplate, card, today));
  }
  if (name.empty()) {
    const ParsedTemplate fallback = ParseTemplate(kDefaultPhotoNameTemplate);
    name = SafePhotoName(ExpandedText(fallback.value, card, today));
  }
  if (name.empty()) name = kFallbackPhotoName;
  return name + PhotoExtension(format);
}

PhotoJob PhotoJobFor(std::shared_ptr<const std::string> file, const PhotoSettings& settings,
                     const CardFieldValues& card, const Date& today) {
  PhotoJob job;
  job.file = std::move(file);
  job.format = settings.format;
  job.folder = settings.folder;
  job.fileName = PhotoFileName(settings.nameTemplate ? &*settings.nameTemplate : nullptr, card,
                               today, settings.format);
  return job;
}

void WrittenPhotos::Written(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool listed = std::any_of(paths_.begin(), paths_.end(), [&](const std::wstring& p) {
    return EqualsIgnoringAsciiCase(p, path);
  });
  if (!listed) paths_.push_back(path);
}

std::vector<std::wstring> WrittenPhotos::Due() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_;
}

void WrittenPhotos::Deleted(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_.erase(
      std::remove_if(paths_.begin(), paths_.end(),
                     [&](const std::wstring& p) { return EqualsIgnoringAsciiCase(p, path); }),
      paths_.end());
}

bool WrittenPhotos::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_.empty();
}

std::wstring WrittenPhotos::LedgerText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::wstring text;
  for (const std::wstring& path : paths_) text.append(path).append(L"\n");
  return text;
}

std::vector<std::wstring> ParsePhotoLedger(std::wstring_view text) {
  std::vector<std::wstring> paths;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(L"\r\n");
    const std::wstring_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
    if (!IsFullPathName(line)) continue;
    const bool listed = std::any_of(paths.begin(), paths.end(), [&](const std::wstring& p) {
      return EqualsIgnoringAsciiCase(p, line);
    });
    if (!listed) paths.emplace_back(line);
  }
  return paths;
}

}  // namespace keyentry
