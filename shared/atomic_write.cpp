#include "atomic_write.h"

namespace vendrolix {

std::string TemporaryPathFor(const std::string& path) { return path + ".new~"; }

bool WriteFileAtomically(FileOps& ops, const std::string& path, const std::string& content) {
  const std::string temporary = TemporaryPathFor(path);
  if (!ops.Create(temporary)) {
    ops.Remove(temporary);
    return false;
  }
  const bool written = ops.Write(content) && ops.Flush();
  ops.Close();
  bool replaced = written && ops.Replace(temporary, path);
  for (int attempt = 1; written && !replaced && attempt < kReplaceAttempts; ++attempt) {
    ops.Pause(kReplacePause);
    replaced = ops.Replace(temporary, path);
  }
  if (!replaced) {
    ops.Remove(temporary);
    return false;
  }
  return true;
}

}  // namespace vendrolix
