// The cleaner's rewrite of "Cookies.txt": the result is the input with some
// whole cookie lines taken out. Every line that stays, stays byte for byte
// with its own line end, and a cookie line is taken out exactly when the
// keep line does not spare its site.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cleaning.h"
#include "cookies.h"

namespace {

// The file cut into lines, each with its own line end (CR LF, LF or CR).
std::vector<std::string> Pieces(const std::string& content) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = content.size();
    } else if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') {
      end += 2;
    } else {
      end += 1;
    }
    pieces.push_back(content.substr(start, end - start));
    start = end;
  }
  return pieces;
}

std::string Bare(const std::string& piece) {
  const auto end = piece.find_first_of("\r\n");
  return end == std::string::npos ? piece : piece.substr(0, end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string keepLine = input.ConsumeRandomLengthString(512);
  const std::string content = input.ConsumeRemainingBytesAsString();

  std::string expected;
  std::vector<std::string> domains;
  for (const auto& piece : Pieces(content)) {
    const auto domain = vendrolix::cookies::NetscapeDomain(Bare(piece));
    if (!domain || vendrolix::cookies::IsKept(keepLine, *domain)) expected += piece;
    if (domain) domains.push_back(*domain);
  }
  const std::string kept = vendrolix::cleaner::RewriteNetscapeCookies(content, keepLine).content;
  if (kept != expected) std::abort();

  // Sparing every site keeps the file byte for byte; sparing none leaves no
  // cookie line, and cleaning twice changes nothing more.
  const std::string keepAll = vendrolix::cookies::FormatKeepLine(domains);
  if (vendrolix::cleaner::RewriteNetscapeCookies(content, keepAll).content != content) {
    // A site entry holding "#" cannot be spared by the list's format.
    bool hash = false;
    for (const auto& d : domains) hash = hash || d.find('#') != std::string::npos || d.empty();
    if (!hash) std::abort();
  }
  if (vendrolix::cleaner::RewriteNetscapeCookies(kept, keepLine).content != kept) std::abort();
  for (const auto& piece : Pieces(vendrolix::cleaner::RewriteNetscapeCookies(content, "").content)) {
    if (vendrolix::cookies::NetscapeDomain(Bare(piece))) std::abort();
  }
  return 0;
}
