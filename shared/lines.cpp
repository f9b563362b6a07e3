#include "lines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vendrolix {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}

LineReader::LineReader(ReadFn read, std::size_t maxLine)
    : read_(std::move(read)), maxLine_(maxLine), buffer_(new char[kChunk]) {}

std::size_t LineReader::NextLineEnd() const {
  // A word at a time: the library's memchr of the browser's process may
  // look at one byte at a time, and the browser waits for the white list.
  // A byte of w that is zero sets its high bit in Zeros(w); bytes above the
  // first zero may be set too, so only the lowest set byte counts.
  using Word = std::uintptr_t;
  constexpr Word kOnes = ~Word{0} / 0xFF;
  constexpr Word kHigh = kOnes * 0x80;
  const auto zeros = [](Word w) { return (w - kOnes) & ~w & kHigh; };
  const char* const data = buffer_.get();
  std::size_t at = pos_;
  for (; at + sizeof(Word) <= end_; at += sizeof(Word)) {
    Word w;
    std::memcpy(&w, data + at, sizeof w);
    const Word found = zeros(w ^ (kOnes * '\r')) | zeros(w ^ (kOnes * '\n'));
    if (found == 0) continue;
    // The lowest address is the lowest byte on the little-endian machines
    // the suite runs on.
    return at + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
  }
  while (at < end_ && data[at] != '\r' && data[at] != '\n') ++at;
  return at;
}

bool LineReader::Fill() {
  if (eof_) return false;
  pos_ = 0;
  end_ = read_ ? read_(buffer_.get(), kChunk) : 0;
  if (end_ == 0) eof_ = true;
  return end_ != 0;
}

bool LineReader::Next(std::string& line) {
  std::string_view view;
  const bool got = Next(view);
  line.assign(view.data(), view.size());
  return got;
}

bool LineReader::Next(std::string_view& line) {
  line = std::string_view();
  spill_.clear();
  if (failed_) return false;
  bool any = false;
  bool spilled = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      if (spilled) line = spill_;
      return any;
    }
    any = true;
    const char* begin = buffer_.get() + pos_;
    const std::size_t at = NextLineEnd();
    const std::size_t length = at - pos_;
    // Checked before the bytes are taken, so an endless line never grows
    // beyond the limit.
    if (length > maxLine_ - spill_.size()) {
      failed_ = eof_ = true;
      spill_.clear();
      return false;
    }
    if (at == end_) {
      // The line goes on in the next chunk, which is read over this one.
      spill_.append(begin, length);
      spilled = true;
      pos_ = end_;
      continue;
    }
    const bool cr = buffer_[at] == '\r';
    pos_ = at + 1;
    if (spilled || (cr && pos_ == end_)) {
      spill_.append(begin, length);
      spilled = true;
    } else {
      line = std::string_view(begin, length);
    }
    // CR LF is one line end, even when the LF lies in the next chunk.
    if (cr) {
      if (pos_ == end_) Fill();
      if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
    }
    if (spilled) line = spill_;
    return true;
  }
}

LineReader::ReadFn TextSource(std::string_view content) {
  return [content, offset = std::size_t{0}](char* buffer, std::size_t capacity) mutable {
    const std::size_t n = std::min(capacity, content.size() - offset);
    std::memcpy(buffer, content.data() + offset, n);
    offset += n;
    return n;
  };
}

std::vector<std::string> SplitLines(std::string_view content) {
  LineReader reader(TextSource(content));
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
