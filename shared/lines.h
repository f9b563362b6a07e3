// ANSI text files read and written line by line.
//
// Every data file of the suite is ANSI text whose lines end with CR LF. A
// reader also takes a lone LF or a lone CR as a line end, so a file edited
// by hand on another system still reads line for line. A last line without
// a line end is still a line. Nothing is converted: bytes in, bytes out.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vendrolix {

// Reads lines from a byte source on demand, so a caller that needs only the
// first lines of a large file never reads the rest of it.
class LineReader {
 public:
  // read(buffer, capacity) fills up to capacity bytes and returns how many;
  // 0 means the end of the source (or a read failure, which ends it too).
  using ReadFn = std::function<std::size_t(char*, std::size_t)>;

  // No line longer than this is ever held.
  static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

  // A line longer than maxLine bytes fails the read: Next returns false
  // from there on, and failed() tells it from the end of the source.
  explicit LineReader(ReadFn read, std::size_t maxLine = kNoLimit);

  // The next line without its line end; false at the end of the source.
  bool Next(std::string& line);
  // The same without a copy: line is valid until the next call.
  bool Next(std::string_view& line);
  bool failed() const { return failed_; }

 private:
  bool Fill();
  // The first CR or LF at or after pos_ (end_: none in the buffer). One
  // pass over the bytes for both, so a file with one kind of line end is
  // never searched to the buffer's end for the other kind.
  std::size_t NextLineEnd() const;

  ReadFn read_;
  std::size_t maxLine_;
  bool failed_ = false;
  // Not cleared when made: every byte is read into before it is looked at.
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  // A line that does not lie whole in the buffer is put together here.
  std::string spill_;
};

// A source of LineReader over text held in memory, which must outlive it.
LineReader::ReadFn TextSource(std::string_view content);

std::vector<std::string> SplitLines(std::string_view content);

// Each line followed by CR LF, the last one included.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace vendrolix
