// registry_probe get NAME        prints the tray flavour's read of NAME
// registry_probe set NAME VALUE  writes NAME through CRegistry
#include <cstdio>
#include <cstring>

#include "win32/CRegistry.h"

int main(int argc, char** argv) {
  const vendrolix::CRegistry registry = vendrolix::CRegistry::ForTray();
  if (argc == 3 && std::strcmp(argv[1], "get") == 0) {
    std::printf("%s\n", registry.GetRegStringValue(argv[2]).c_str());
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "set") == 0) {
    registry.SetRegStringValue(argv[2], argv[3]);
    return 0;
  }
  return 2;
}
