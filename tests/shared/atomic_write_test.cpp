#include "atomic_write.h"

#include <gtest/gtest.h>

#include "fault_files.h"

namespace vendrolix {
namespace {

TEST(WriteFileAtomically, EachDataFileIsTheOldOrTheNewUnderEveryFault) {
  for (const test::ReplacedFile& f : test::ReplacedFiles()) {
    SCOPED_TRACE(f.name + (f.old ? "" : ", new"));
    const std::string path = "C:\\Program Files\\Vendrolix\\" + f.name;
    test::ExpectOldOrNewUnderFaults(path, f.old, f.replacement, [&](test::FaultFiles& disk) {
      return WriteFileAtomically(disk, path, f.replacement);
    });
  }
}

}  // namespace
}  // namespace vendrolix
