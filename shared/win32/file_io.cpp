#include "win32/file_io.h"

#include <vector>

namespace vendrolix::win32 {

bool Win32FileOps::Create(const std::string& path) {
  file_.reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.valid();
}

bool Win32FileOps::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool Win32FileOps::Flush() { return FlushFileBuffers(file_.get()) != FALSE; }

void Win32FileOps::Close() { file_.reset(); }

bool Win32FileOps::Replace(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void Win32FileOps::Remove(const std::string& path) { DeleteFileA(path.c_str()); }

void Win32FileOps::Pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

bool ReplaceFileContent(const std::string& path, const std::string& content) {
  Win32FileOps ops;
  return WriteFileAtomically(ops, path, content);
}

namespace {

HANDLE OpenForReading(const std::string& path, TextFileReader::OpenMode mode) {
  const DWORD disposition = mode == TextFileReader::OpenMode::CreateIfMissing ? OPEN_ALWAYS : OPEN_EXISTING;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && mode == TextFileReader::OpenMode::CreateIfMissing) {
    // Without the right to create it, a missing file simply reads as empty.
    file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return file;
}

}  // namespace

TextFileReader::TextFileReader(const std::string& path, OpenMode mode, std::size_t maxLine)
    : file_(OpenForReading(path, mode)),
      reader_(
          [this](char* buffer, std::size_t capacity) -> std::size_t {
            if (!file_) return 0;
            DWORD read = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(capacity, 1u << 30));
            if (!ReadFile(file_.get(), buffer, want, &read, nullptr)) return 0;
            return read;
          },
          maxLine) {}

bool ReadWholeFile(const std::string& path, std::string& content, std::size_t maxBytes) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  content.clear();
  // A file already too large is refused before a byte is read; one that
  // grows while it is read is caught by the count below.
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > maxBytes) return false;
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
    if (read == 0) return true;
    if (read > maxBytes - content.size()) return false;
    content.append(buffer.data(), read);
  }
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder, FolderEntries which) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (!find) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
    return std::nullopt;
  }
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == (which == FolderEntries::Folders)) names.push_back(name);
  } while (FindNextFileA(find.get(), &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
  return names;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsPlainLocalPath(const std::string& path) {
  if (path.size() < 3 || path[1] != ':') return false;
  const char root[] = {path[0], ':', '\\', '\0'};
  if (GetDriveTypeA(root) != DRIVE_FIXED) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string ModulePath(HMODULE module) {
  // Paths beyond MAX_PATH are possible; grow until the name fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string ModuleFolder(HMODULE module) {
  const std::string path = ModulePath(module);
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace vendrolix::win32
