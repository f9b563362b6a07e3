// The helper is loaded into every browser window, so it carries only what it
// uses of the statically linked runtime.
//
// Interface identifiers: the import library libuuid keeps hundreds of them
// in one section, all linked in for the few the helper names. Defined here,
// each in its own section, only the ones used survive --gc-sections.
#include <initguid.h>

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>
#include <shldisp.h>

#include <cstdlib>

// The runtime's default terminate handler prints the exception's demangled
// type name to stderr, which pulls in the whole demangler. The helper writes
// nothing anywhere; ending the process is what it would do next anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
