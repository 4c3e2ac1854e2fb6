#include "app/render/offscreen_context.h"

#include <GL/osmesa.h>

#include <string>

#include "app/app_error.h"
#include "host/system/shared_library.h"

namespace vantelle::app {

namespace {

#if defined(_WIN32)
// Mesa's offscreen library as Mesa's Windows builds name it, found beside the program.
constexpr const char* kLibraryNames[] = {"osmesa.dll"};
#else
// Debian 12 ships libOSMesa.so.8; the others are older and newer names of the same.
constexpr const char* kLibraryNames[] = {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"};
#endif

using CreateContextAttribs = OSMesaContext (*)(const int*, OSMesaContext);
using MakeCurrent = GLboolean (*)(OSMesaContext, void*, GLenum, GLsizei, GLsizei);
using DestroyContext = void (*)(OSMesaContext);
using GetProcAddress = OSMESAproc (*)(const char*);

template <class F>
F Symbol(void* handle, const char* name) {
  return reinterpret_cast<F>(SharedLibrarySymbol(handle, name));
}

}  // namespace

// Opened privately (RTLD_LOCAL), so its OpenGL symbols never mix with a window system's,
// and once for the process: Mesa keeps worker threads, so it is never unloaded.
struct OffscreenContext::Library {
  CreateContextAttribs createContext = nullptr;
  MakeCurrent makeCurrent = nullptr;
  DestroyContext destroyContext = nullptr;
  GetProcAddress getProcAddress = nullptr;

  static const Library& Get() {
    static const Library library = Open();
    return library;
  }

private:
  static Library Open() {
    void* handle = nullptr;
    std::string errors;
    for (const char* name : kLibraryNames) {
      handle = OpenSharedLibrary(name, &errors);
      if (handle != nullptr) {
        break;
      }
    }
    if (handle == nullptr) {
      throw Failure("cannot draw pictures without Mesa's offscreen OpenGL (install libosmesa6): " + errors);
    }
    Library library;
    library.createContext = Symbol<CreateContextAttribs>(handle, "OSMesaCreateContextAttribs");
    library.makeCurrent = Symbol<MakeCurrent>(handle, "OSMesaMakeCurrent");
    library.destroyContext = Symbol<DestroyContext>(handle, "OSMesaDestroyContext");
    library.getProcAddress = Symbol<GetProcAddress>(handle, "OSMesaGetProcAddress");
    if (library.createContext == nullptr || library.makeCurrent == nullptr || library.destroyContext == nullptr ||
        library.getProcAddress == nullptr) {
      throw Failure("cannot draw pictures: the installed libOSMesa is too old");
    }
    return library;
  }
};

OffscreenContext::OffscreenContext() : library_(&Library::Get()) {
  const int attributes[] = {OSMESA_FORMAT,
                            OSMESA_RGBA,
                            OSMESA_DEPTH_BITS,
                            0,
                            OSMESA_STENCIL_BITS,
                            0,
                            OSMESA_PROFILE,
                            OSMESA_CORE_PROFILE,
                            OSMESA_CONTEXT_MAJOR_VERSION,
                            3,
                            OSMESA_CONTEXT_MINOR_VERSION,
                            3,
                            0};
  auto* context = library_->createContext(attributes, nullptr);
  if (context == nullptr) {
    throw Failure("cannot draw pictures: Mesa offers no OpenGL 3.3 core context here");
  }
  context_ = context;
  constexpr int kTokenSide = 16;
  token_.assign(kTokenSide * kTokenSide * 4, 0);
  if (!library_->makeCurrent(context, token_.data(), GL_UNSIGNED_BYTE, kTokenSide, kTokenSide)) {
    library_->destroyContext(context);
    throw Failure("cannot draw pictures: Mesa's offscreen context does not start");
  }
  std::string missing;
  GetProcAddress lookup = library_->getProcAddress;
  if (!gl_.Load([lookup](const char* name) { return reinterpret_cast<GlFunctions::Proc>(lookup(name)); }, missing)) {
    library_->destroyContext(context);
    throw Failure("cannot draw pictures: Mesa's OpenGL lacks " + missing);
  }
}

OffscreenContext::~OffscreenContext() {
  // Released first, so Mesa lets go of the token image's framebuffer too.
  library_->makeCurrent(nullptr, nullptr, 0, 0, 0);
  library_->destroyContext(static_cast<OSMesaContext>(context_));
}

}  // namespace vantelle::app

#if defined(__SANITIZE_ADDRESS__)
// Mesa's offscreen library keeps a few hundred bytes of its image records after the
// context is gone; that is Mesa's, not ours, and would fail every sanitized run that draws.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libOSMesa.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif
