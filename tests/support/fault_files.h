// An in-memory file system for the atomic replacement, with two kinds of
// fault: one step that fails (the writer sees it and cleans up), or the power
// going at some point (nothing after it happens, not even the clean-up).
// Header only, so native and Windows tests can both use it. Beside it, the
// data files the suite replaces and the faults every writer through the
// replacement must survive.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// Each data file the suite rewrites (the white list, the keep lists, the
// cleaned "Cookies.txt"), before and after a save.
struct ReplacedFile {
  std::string name;
  std::optional<std::string> old;  // nullopt: no file yet
  std::string replacement;
};

inline std::vector<ReplacedFile> ReplacedFiles() {
  std::string big = "5000\r\n";
  for (int i = 0; i < 5000; ++i) big += "site" + std::to_string(i) + ".example\r\n";
  return {
      {"WebSite.dat", "2\r\nalpha.com\r\nBeta.org\r\n", "2\r\nalpha.com\r\ngamma.net\r\n"},
      {"WebSite.dat", std::nullopt, "1\r\nfirst.com\r\n"},
      {"WebSite.dat", "3\r\na\r\nb\r\nc\r\n", "0\r\n"},
      {"WebSite.dat", "1\r\nsmall.com\r\n", big},
      {"IECookieURL.dat", "#joe@kept##ann@bank#\r\n", "#joe@kept#\r\n"},
      {"IECookieURL.dat", std::nullopt, "\r\n"},
      {"NSCookieURL.dat", "#.example.com#\r\n", "#.example.com##.news.test#\r\n"},
      {"NSCookieURL.dat", "#.example.com#\r\n", "\r\n"},
      {"Cookies.txt",
       "# Netscape\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n.gone.com\tTRUE\t/\tFALSE\t0\tid\t2\r\n",
       "# Netscape\r\n.kept.com\tTRUE\t/\tFALSE\t0\tid\t1\r\n"},
  };
}

inline FaultFiles DiskWith(const std::string& path, const std::optional<std::string>& old) {
  FaultFiles disk;
  if (old) disk.files[path] = *old;
  return disk;
}

// Runs write (which saves replacement at path through the disk and says
// whether it did) under every fault: each step failing, the replacement
// refused for a while by a reader that holds the target, and the power going
// after each operation. The file is always the old one or the new one byte
// for byte, the new one only when the writer says so, and a failure leaves
// no temporary file.
inline void ExpectOldOrNewUnderFaults(const std::string& path, const std::optional<std::string>& old,
                                      const std::string& replacement,
                                      const std::function<bool(FaultFiles& disk)>& write) {
  using Files = std::map<std::string, std::string>;
  const Files before = old ? Files{{path, *old}} : Files{};
  const Files after{{path, replacement}};
  for (const auto step : kFailingSteps) {
    SCOPED_TRACE("failing step " + std::to_string(static_cast<int>(step)));
    FaultFiles disk = DiskWith(path, old);
    disk.failAt = step;
    EXPECT_FALSE(write(disk));
    EXPECT_EQ(disk.files, before);
  }
  const struct {
    int failures;  // -1: refused for good
    bool replaced;
  } refusals[] = {{1, true}, {kReplaceAttempts - 1, true}, {kReplaceAttempts, false}, {-1, false}};
  for (const auto& refusal : refusals) {
    SCOPED_TRACE("replacement refused " + std::to_string(refusal.failures) + " times");
    FaultFiles disk = DiskWith(path, old);
    disk.failAt = FaultFiles::Step::Replace;
    disk.failures = refusal.failures;
    EXPECT_EQ(write(disk), refusal.replaced);
    EXPECT_EQ(disk.files, refusal.replaced ? after : before);
    EXPECT_GT(disk.paused, 0);
    EXPECT_LE(disk.paused, 600) << "a person waits on the save";
  }
  FaultFiles whole = DiskWith(path, old);
  ASSERT_TRUE(write(whole));
  EXPECT_EQ(whole.files, after);
  for (int cut = 0; cut <= whole.operations(); ++cut) {
    SCOPED_TRACE("power gone after " + std::to_string(cut) + " operations");
    FaultFiles disk = DiskWith(path, old);
    disk.cutAfter = cut;
    const bool reported = write(disk);
    const auto it = disk.files.find(path);
    if (it == disk.files.end()) {
      EXPECT_FALSE(old.has_value());
      EXPECT_FALSE(reported);
      continue;
    }
    EXPECT_TRUE(it->second == replacement || (old && it->second == *old));
    if (reported) {
      EXPECT_EQ(it->second, replacement);
    }
  }
}

}  // namespace vendrolix::test
