#include "data_files.h"

#include "cookie_logic.h"
#include "cookies.h"
#include "lines.h"
#include "white_list.h"
#include "win32/file_io.h"

namespace vendrolix::manager {

std::vector<std::string> ReadWebSiteFile(const std::string& path) {
  win32::TextFileReader reader(path, win32::TextFileReader::OpenMode::Plain);
  return ParseWebSiteList([&reader](std::string& line) { return reader.Next(line); });
}

std::string ReadKeepLine(const std::string& path) {
  // A file made here by a read would be an empty list the user never chose.
  std::string line;
  win32::TextFileReader reader(path, win32::TextFileReader::OpenMode::Plain);
  if (!reader.Next(line)) line.clear();
  return line;
}

std::vector<std::string> ReadNetscapeEntries(const std::string& cookieFile) {
  // Read whole within its bound, so that neither a huge file nor one endless
  // line is taken in by an elevated program.
  std::string content;
  if (!win32::ReadWholeFile(cookieFile, content, cookies::kLargestNetscapeFile)) return {};
  LineReader reader(TextSource(content));
  return NetscapeEntries([&reader](std::string& line) { return reader.Next(line); });
}

}  // namespace vendrolix::manager
