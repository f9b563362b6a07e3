// An in-memory file system for the atomic replacement, with two kinds of
// fault: one step that fails (the writer sees it and cleans up), or the power
// going at some point (nothing after it happens, not even the clean-up).
// Header only, so native and Windows tests can both use it.
#pragma once

#include <map>
#include <string>

#include "atomic_write.h"

namespace vendrolix::test {

class FaultFiles final : public FileOps {
 public:
  enum class Step { None, Create, Write, Flush, Replace };

  std::map<std::string, std::string> files;
  Step failAt = Step::None;
  // How many times the failing step fails before it goes through (-1: it
  // always fails), as when a reader lets go of the file a little later.
  int failures = -1;
  // Operations allowed before the power goes (-1: it never goes).
  int cutAfter = -1;
  // Milliseconds the writer waited between attempts.
  int paused = 0;

  bool Create(const std::string& path) override {
    if (!Alive() || Fails(Step::Create)) return false;
    open_ = path;
    files[path].clear();
    return true;
  }
  bool Write(const std::string& bytes) override {
    if (!Alive()) return false;
    if (Fails(Step::Write)) {
      files[open_] += bytes.substr(0, bytes.size() / 2);  // the disk filled half way
      return false;
    }
    // Large contents go down in pieces; the power may go between them.
    const std::size_t half = bytes.size() / 2;
    files[open_] += bytes.substr(0, half);
    if (!Alive()) return false;
    files[open_] += bytes.substr(half);
    return true;
  }
  bool Flush() override { return Alive() && !Fails(Step::Flush); }
  void Close() override {
    if (Alive()) open_.clear();
  }
  bool Replace(const std::string& source, const std::string& target) override {
    if (!Alive() || Fails(Step::Replace)) return false;
    files[target] = files[source];
    files.erase(source);
    return true;
  }
  void Remove(const std::string& path) override {
    if (Alive()) files.erase(path);
  }
  void Pause(int milliseconds) override { paused += milliseconds; }

  int operations() const { return operations_; }

 private:
  bool Fails(Step step) {
    if (failAt != step || failures == 0) return false;
    if (failures > 0) --failures;
    return true;
  }
  bool Alive() {
    if (cutAfter >= 0 && operations_ >= cutAfter) return false;
    ++operations_;
    return true;
  }

  std::string open_;
  int operations_ = 0;
};

inline constexpr FaultFiles::Step kFailingSteps[] = {FaultFiles::Step::Create, FaultFiles::Step::Write,
                                                     FaultFiles::Step::Flush, FaultFiles::Step::Replace};

}  // namespace vendrolix::test
