// The bench browser on the other end of two pipes, for the Wine tests and
// for scripts/run's browsing session alike.
#pragma once

#include <windows.h>

#include <string>

#include "win32/handles.h"

namespace vendrolix::test {

// Driven one command at a time: one command a line in, one result line out.
// The end of its input is the end of its script: it closes its windows and
// ends. Its diagnostics go to this program's error output, never into the
// results. Reading never blocks, so a program the browser started that
// still holds the pipe cannot hold this one.
class BrowserProcess {
 public:
  explicit BrowserProcess(const std::string& exe);
  ~BrowserProcess();
  BrowserProcess(const BrowserProcess&) = delete;
  BrowserProcess& operator=(const BrowserProcess&) = delete;
  bool started() const { return process_.valid(); }
  // The command's result line, or "" when none came within a minute.
  std::string Do(const std::string& command);

 private:
  win32::UniqueKernelHandle process_;
  win32::UniqueKernelHandle toChild_;
  win32::UniqueKernelHandle fromChild_;
  std::string pending_;
};

}  // namespace vendrolix::test
