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
  if (!written || !ops.Replace(temporary, path)) {
    ops.Remove(temporary);
    return false;
  }
  return true;
}

}  // namespace vendrolix
