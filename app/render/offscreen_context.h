// An OpenGL context that draws into memory, with no display and no GPU: Mesa's software
// rasteriser (llvmpipe) through OSMesa. The library is opened only when a picture is
// asked for, so the app starts as fast as before for everything else.
#pragma once

#include <vector>

#include "app/render/gl_functions.h"

namespace vantelle::app {

class OffscreenContext {
public:
  // A current context. It draws into framebuffers of its own making (see Framebuffer);
  // its window-system image is a token. Failure naming what is missing when Mesa or its
  // OpenGL 3.3 core profile cannot be had.
  OffscreenContext();
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  const GlFunctions& Gl() const { return gl_; }

private:
  struct Library;
  const Library* library_;
  void* context_ = nullptr;
  std::vector<unsigned char> token_;
  GlFunctions gl_;
};

}  // namespace vantelle::app
