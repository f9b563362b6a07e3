// Replacing a data file so that readers see the old or the new content,
// never a part of it: the new content goes to a file beside the old one,
// is flushed, and only then takes the old one's place in one step.
//
// The steps are an interface so that every failure path can be exercised;
// the Windows implementation lives in win32/file_io.h.
#pragma once

#include <string>

namespace vendrolix {

class FileOps {
 public:
  virtual ~FileOps() = default;
  // Create (or truncate) the file and make it the one written to.
  virtual bool Create(const std::string& path) = 0;
  virtual bool Write(const std::string& bytes) = 0;
  virtual bool Flush() = 0;
  virtual void Close() = 0;
  // Put source in target's place in one step, replacing target if present.
  virtual bool Replace(const std::string& source, const std::string& target) = 0;
  virtual void Remove(const std::string& path) = 0;
  // Wait before trying a step again.
  virtual void Pause(int milliseconds) = 0;
};

// A reader holding the target open (the browser helper reads the white list
// at every new-window request) makes the replacement fail for as long as it
// reads. The replacement is tried this many times, kReplacePause apart: about
// half a second in all, short enough for a person waiting on a save.
inline constexpr int kReplaceAttempts = 6;
inline constexpr int kReplacePause = 100;  // milliseconds

// The temporary file's name: the target's with a suffix no reader looks for.
std::string TemporaryPathFor(const std::string& path);

// Returns false, with the target untouched and no temporary file left
// behind, when any step fails (the replacement after its last attempt).
bool WriteFileAtomically(FileOps& ops, const std::string& path, const std::string& content);

}  // namespace vendrolix
