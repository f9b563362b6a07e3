// Line reading: any bytes split into lines that join back to the input
// (modulo line-end style), whatever chunk sizes the source delivers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = 1 + data[0] % 7;
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::vector<std::string> whole = vendrolix::SplitLines(content);

  std::size_t offset = 0;
  vendrolix::LineReader reader([&](char* buffer, std::size_t capacity) {
    const std::size_t n = std::min({chunk, capacity, content.size() - offset});
    std::memcpy(buffer, content.data() + offset, n);
    offset += n;
    return n;
  });
  std::vector<std::string> pieces;
  std::string line;
  while (reader.Next(line)) pieces.push_back(line);
  if (pieces != whole) std::abort();

  // Bounded, the same lines up to the first longer one, which fails the read.
  const std::size_t limit = data[0] % 13;
  offset = 0;
  vendrolix::LineReader bounded(
      [&](char* buffer, std::size_t capacity) {
        const std::size_t n = std::min({chunk, capacity, content.size() - offset});
        std::memcpy(buffer, content.data() + offset, n);
        offset += n;
        return n;
      },
      limit);
  std::size_t taken = 0;
  while (bounded.Next(line)) {
    if (taken >= whole.size() || line != whole[taken]) std::abort();
    ++taken;
  }
  if (bounded.failed() != (taken < whole.size())) std::abort();
  if (taken < whole.size() && whole[taken].size() <= limit) std::abort();

  // No line holds a line end, and no byte is lost or made up.
  std::size_t bytes = 0;
  for (const auto& l : whole) {
    if (l.find_first_of("\r\n") != std::string::npos) std::abort();
    bytes += l.size();
  }
  std::size_t ends = 0;
  for (char c : content) ends += (c == '\r' || c == '\n');
  if (bytes + ends != content.size()) std::abort();

  // Written back with CR LF, the lines read back the same.
  if (vendrolix::SplitLines(vendrolix::JoinLinesCrLf(whole)) != whole) std::abort();
  return 0;
}
