#include "core/Lines.h"

namespace keyentry {

bool LineReader::ReadLine(std::string& line) {
  if (pos_ >= bytes_.size()) return false;
  const std::size_t cr = bytes_.find('\r', pos_);
  if (cr == std::string_view::npos) {
    line.assign(bytes_.substr(pos_));
    pos_ = bytes_.size();
    return true;
  }
  line.assign(bytes_.substr(pos_, cr - pos_));
  pos_ = cr + 1;
  if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  return true;
}

}  // namespace keyentry
