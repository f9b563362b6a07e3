#include "lines.h"

#include <algorithm>
#include <cstring>

namespace vendrolix {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}

LineReader::LineReader(ReadFn read, std::size_t maxLine)
    : read_(std::move(read)), maxLine_(maxLine), buffer_(kChunk) {}

std::size_t LineReader::NextOf(char c, std::size_t& cached) const {
  if (cached == kUnknown || cached < pos_) {
    const void* found = std::memchr(buffer_.data() + pos_, c, end_ - pos_);
    cached = found ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data()) : end_;
  }
  return cached;
}

bool LineReader::Fill() {
  if (eof_) return false;
  pos_ = 0;
  nextCr_ = nextLf_ = kUnknown;
  end_ = read_ ? read_(buffer_.data(), buffer_.size()) : 0;
  if (end_ == 0) eof_ = true;
  return end_ != 0;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  if (failed_) return false;
  bool any = false;
  // Checked before the bytes are taken, so an endless line never grows
  // beyond the limit.
  const auto tooLong = [&](std::size_t more) {
    if (more <= maxLine_ - line.size()) return false;
    failed_ = eof_ = true;
    line.clear();
    return true;
  };
  for (;;) {
    if (pos_ == end_ && !Fill()) return any;
    any = true;
    const char* begin = buffer_.data() + pos_;
    const std::size_t avail = end_ - pos_;
    const std::size_t at = std::min(NextOf('\r', nextCr_), NextOf('\n', nextLf_));
    const char* stop = at < end_ ? buffer_.data() + at : nullptr;

    if (!stop) {
      if (tooLong(avail)) return false;
      line.append(begin, avail);
      pos_ = end_;
      continue;
    }
    if (tooLong(static_cast<std::size_t>(stop - begin))) return false;
    line.append(begin, static_cast<std::size_t>(stop - begin));
    pos_ += static_cast<std::size_t>(stop - begin) + 1;
    if (*stop == '\r') {
      // CR LF is one line end, even when the LF lies in the next chunk.
      if (pos_ == end_) Fill();
      if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
    }
    return true;
  }
}

std::vector<std::string> SplitLines(std::string_view content) {
  std::size_t offset = 0;
  LineReader reader([&](char* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, content.size() - offset);
    std::memcpy(buffer, content.data() + offset, n);
    offset += n;
    return n;
  });
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace vendrolix
