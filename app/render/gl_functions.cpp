#include "app/render/gl_functions.h"

namespace vantelle::app {

bool GlFunctions::Load(const ProcAddress& lookup, std::string& missing) {
#define VANTELLE_GL_LOAD(upper, name)                              \
  name = reinterpret_cast<PFNGL##upper##PROC>(lookup("gl" #name)); \
  if (name == nullptr) {                                           \
    missing = "gl" #name;                                          \
    return false;                                                  \
  }
  VANTELLE_GL_FUNCTIONS(VANTELLE_GL_LOAD)
#undef VANTELLE_GL_LOAD
  return true;
}

}  // namespace vantelle::app
