// The exe's load configuration. Its DependentLoadFlags tell the loader to resolve the static imports of
// every DLL it maps for the exe from the system folder alone (LOAD_LIBRARY_SEARCH_SYSTEM32), so a DLL
// planted beside the exe is not found as a dependency of a system DLL either. The linker points the
// image's load-configuration directory at this symbol.
#include <windows.h>

namespace {

constexpr WORD kSearchSystem32 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
static_assert(kSearchSystem32 == LOAD_LIBRARY_SEARCH_SYSTEM32);

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 MakeLoadConfig() {
  IMAGE_LOAD_CONFIG_DIRECTORY64 config{};
  config.Size = sizeof(config);
  config.Reserved1 = kSearchSystem32;  // DependentLoadFlags in newer headers
  return config;
}

}  // namespace

// Filled in when the image is built, since the loader reads it before any code of the exe runs. The name
// is the one the linker looks for.
extern "C" __attribute__((used)) constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used =
    MakeLoadConfig();
