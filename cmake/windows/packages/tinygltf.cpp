// The tinygltf implementation for the Windows build (Debian's Linux package has it
// compiled in its shared library).
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
