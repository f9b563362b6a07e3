#include "browser_process.h"

#include <algorithm>

#include "time_scale.h"

namespace vendrolix::test {

BrowserProcess::BrowserProcess(const std::string& exe) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childIn = nullptr, childOut = nullptr, ourIn = nullptr, ourOut = nullptr;
  if (!CreatePipe(&childIn, &ourOut, &inherit, 0)) return;
  const win32::UniqueKernelHandle childInput(childIn);
  toChild_.reset(ourOut);
  if (!CreatePipe(&ourIn, &childOut, &inherit, 0)) return;
  const win32::UniqueKernelHandle childOutput(childOut);
  fromChild_.reset(ourIn);
  SetHandleInformation(ourOut, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(ourIn, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childIn;
  startup.hStdOutput = childOut;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string line = "\"" + exe + "\"";
  PROCESS_INFORMATION info{};
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
  }
}

BrowserProcess::~BrowserProcess() {
  toChild_.reset();  // the end of its script: it closes its windows and ends
  if (process_ && WaitForSingleObject(process_.get(), StretchedMs(60000)) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 1);
  }
}

std::string BrowserProcess::Do(const std::string& command) {
  const std::string line = command + "\n";
  DWORD written = 0;
  if (!process_ || !WriteFile(toChild_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    return std::string();
  }
  const DWORD deadline = GetTickCount() + StretchedMs(60000);
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string result = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!result.empty() && result.back() == '\r') result.pop_back();
      return result;
    }
    DWORD available = 0;
    if (!PeekNamedPipe(fromChild_.get(), nullptr, 0, nullptr, &available, nullptr)) return std::string();
    if (available > 0) {
      char buffer[4096];
      DWORD read = 0;
      if (!ReadFile(fromChild_.get(), buffer, std::min<DWORD>(available, sizeof buffer), &read, nullptr)) {
        return std::string();
      }
      pending_.append(buffer, read);
      continue;
    }
    if (GetTickCount() > deadline || WaitForSingleObject(process_.get(), 1) == WAIT_OBJECT_0) return std::string();
  }
}

}  // namespace vendrolix::test
