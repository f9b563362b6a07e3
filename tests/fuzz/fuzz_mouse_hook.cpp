// The mouse hook's click classification over any stream of hook calls and
// any class names: a press or release either clears the click stamp or sets
// it to the time of that event, releases always stamp the release, and the
// browser's own chrome never leaves a stamp behind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "hooks.h"
#include "text.h"

namespace {

class FuzzedMouse final : public vendrolix::helper::MouseEnv {
 public:
  explicit FuzzedMouse(FuzzedDataProvider& input) : input_(input) {}
  std::string TargetClassName() override {
    ++classReads;
    return className;
  }
  std::string PopupText() override { return popup; }
  bool CursorIsFrameCursor() override { return frameCursor; }
  std::int32_t Now() override { return now; }

  std::string className;
  std::string popup;
  bool frameCursor = false;
  std::int32_t now = 1;
  int classReads = 0;

 private:
  FuzzedDataProvider& input_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vendrolix::helper;
  FuzzedDataProvider input(data, size);
  FuzzedMouse env(input);
  WindowState window;
  std::int32_t& clickStamp = window.ClickStamp;
  std::int32_t upStamp = 0;
  static const char* const kNames[] = {"Internet Explorer_Server", "Internet Explorer_Hidden", "IEFrame",
                                       "ToolbarWindow32", "Edit", "Shell Embedding", "MacromediaFlashPlayerActiveX",
                                       "  internet explorer_server  ", "Internet Explorer", ""};
  while (input.remaining_bytes() > 0) {
    const int nCode = input.ConsumeIntegral<int>();
    const unsigned message = input.ConsumeBool() ? (input.ConsumeBool() ? kLeftButtonDown : kLeftButtonUp)
                                                 : input.ConsumeIntegral<unsigned>();
    env.className = input.ConsumeBool() ? std::string(kNames[input.ConsumeIntegralInRange<int>(0, 9)])
                                        : input.ConsumeRandomLengthString(300);
    env.popup = input.ConsumeBool() ? "3" : input.ConsumeRandomLengthString(8);
    env.frameCursor = input.ConsumeBool();
    env.now = input.ConsumeIntegralInRange<std::int32_t>(1, kDayMs - 1);

    const std::int32_t click0 = clickStamp;
    const std::int32_t up0 = upStamp;
    env.classReads = 0;
    OnMouseMessage(nCode, message, window, upStamp, env);

    const bool skipped = static_cast<std::int16_t>(nCode) < 0 ||
                         (message != kLeftButtonDown && message != kLeftButtonUp);
    if (skipped) {
      if (clickStamp != click0 || upStamp != up0 || env.classReads != 0) std::abort();
      continue;
    }
    if (clickStamp != 0 && clickStamp != env.now) std::abort();
    const std::string name = HookClassName(env.className);
    if (IsListedClass(name) && clickStamp != 0) std::abort();
    if (message == kLeftButtonUp) {
      if (upStamp != env.now) std::abort();
      if (name == "INTERNET EXPLORER_HIDDEN" && clickStamp != 0) std::abort();
    } else {
      if (upStamp != up0) std::abort();
      if (vendrolix::StartsWithNoCase(name, "INTERNET EXPLORER") && env.className.size() > 17 && clickStamp != 0)
        std::abort();
    }
  }
  return 0;
}
