#include "app/render/offscreen_context.h"

#include <dlfcn.h>

#include <GL/osmesa.h>

#include <string>

#include "app/app_error.h"

namespace vantelle::app {

namespace {

// Debian 12 ships libOSMesa.so.8; the others are older and newer names of the same.
constexpr const char* kLibraryNames[] = {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"};

using CreateContextAttribs = OSMesaContext (*)(const int*, OSMesaContext);
using MakeCurrent = GLboolean (*)(OSMesaContext, void*, GLenum, GLsizei, GLsizei);
using DestroyContext = void (*)(OSMesaContext);
using GetProcAddress = OSMESAproc (*)(const char*);

template <class F>
F Symbol(void* handle, const char* name) {
  return reinterpret_cast<F>(dlsym(handle, name));
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
      handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
      if (handle != nullptr) {
        break;
      }
      const char* error = dlerror();
      errors = error != nullptr ? error : name;
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

OffscreenContext::OffscreenContext(int width, int height) : library_(&Library::Get()), width_(width), height_(height) {
  const int attributes[] = {OSMESA_FORMAT,     OSMESA_RGBA, OSMESA_DEPTH_BITS,           24,
                            OSMESA_STENCIL_BITS, 0,         OSMESA_PROFILE,              OSMESA_CORE_PROFILE,
                            OSMESA_CONTEXT_MAJOR_VERSION, 3, OSMESA_CONTEXT_MINOR_VERSION, 3,
                            0};
  auto* context = library_->createContext(attributes, nullptr);
  if (context == nullptr) {
    throw Failure("cannot draw pictures: Mesa offers no OpenGL 3.3 core context here");
  }
  context_ = context;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  if (!library_->makeCurrent(context, pixels_.data(), GL_UNSIGNED_BYTE, width, height)) {
    library_->destroyContext(context);
    throw Failure("cannot draw pictures: Mesa refuses an image of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels");
  }
  std::string missing;
  GetProcAddress lookup = library_->getProcAddress;
  if (!gl_.Load([lookup](const char* name) { return reinterpret_cast<GlFunctions::Proc>(lookup(name)); }, missing)) {
    library_->destroyContext(context);
    throw Failure("cannot draw pictures: Mesa's OpenGL lacks " + missing);
  }
}

OffscreenContext::~OffscreenContext() {
  library_->destroyContext(static_cast<OSMesaContext>(context_));
}

}  // namespace vantelle::app
