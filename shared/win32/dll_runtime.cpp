#include "win32/dll_runtime.h"

#include <windows.h>

// The C++ runtime's release of its reserve for exceptions thrown when memory
// runs out (about 19 KB in a 32-bit DLL, 73 KB in a 64-bit one).
namespace __gnu_cxx {
void __freeres() noexcept;
}  // namespace __gnu_cxx

void vendrolix::win32::ReleaseDllRuntime() noexcept { __gnu_cxx::__freeres(); }

#if defined(__i386__)
// A 32-bit DLL registers its unwind tables with the runtime when it loads
// and takes them back when it unloads. The runtime guards that table with a
// lock made once through pthread_once, and the thread library's pthread_once
// keeps a record of the calling thread (plus its table of threads and a lock
// of its own) that nothing frees when that thread outlives the DLL: 352
// bytes per load. The 64-bit runtime unwinds through the system's tables and
// registers nothing. So the link of a 32-bit DLL routes these four calls
// here (the linker's --wrap, in shared/CMakeLists.txt): pthread_once without
// a thread record, and the table's lock destroyed once the tables are back.
#include <pthread.h>

extern "C" {
int __real_pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes);
void __real___register_frame_info(const void* begin, void* object);
void* __real___deregister_frame_info(const void* begin);

namespace {
// Both are touched only under the loader lock, at load and at unload.
bool g_registering = false;
pthread_mutex_t* g_tableLock = nullptr;

// The thread library's own states: 0 not run, 1 done. 2 is ours, while one
// caller runs the function; a function that throws leaves it not run.
constexpr long kOnceRunning = 2;

struct OnceRun {
  volatile long* once;
  bool done = false;
  ~OnceRun() { InterlockedExchange(once, done ? 1 : 0); }
};
}  // namespace

int __wrap_pthread_once(pthread_once_t* flag, void (*function)(void)) {
  volatile long* once = reinterpret_cast<volatile long*>(flag);
  for (;;) {
    const long state = InterlockedCompareExchange(once, kOnceRunning, 0);
    if (state == 1) return 0;
    if (state == 0) {
      OnceRun run{once};
      function();
      run.done = true;
      return 0;
    }
    SwitchToThread();
  }
}

int __wrap_pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes) {
  if (g_registering && !g_tableLock) g_tableLock = mutex;
  return __real_pthread_mutex_init(mutex, attributes);
}

void __wrap___register_frame_info(const void* begin, void* object) {
  g_registering = true;
  __real___register_frame_info(begin, object);
  g_registering = false;
}

void* __wrap___deregister_frame_info(const void* begin) {
  void* object = __real___deregister_frame_info(begin);
  if (g_tableLock) pthread_mutex_destroy(g_tableLock);
  g_tableLock = nullptr;
  return object;
}
}  // extern "C"
#endif
