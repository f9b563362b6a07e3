// The manager's readers of the data files beside it, apart from the windows
// that show what they read. None of them creates a missing file: only a
// save writes one.
#pragma once

#include <string>
#include <vector>

namespace vendrolix::manager {

// The white list's entries as the list box shows them, in file order.
std::vector<std::string> ReadWebSiteFile(const std::string& path);
// The keep list's line; "" when the file is missing, unreadable or empty.
std::string ReadKeepLine(const std::string& path);
// The cookie entries of a Netscape "Cookies.txt"; none when the file is
// missing, unreadable or larger than such a file can be.
std::vector<std::string> ReadNetscapeEntries(const std::string& cookieFile);

}  // namespace vendrolix::manager
