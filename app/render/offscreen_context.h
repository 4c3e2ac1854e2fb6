// An OpenGL context that draws into memory, with no display and no GPU: Mesa's software
// rasteriser (llvmpipe) through OSMesa. The library is opened only when a picture is
// asked for, so the app starts as fast as before for everything else.
#pragma once

#include <vector>

#include "app/render/gl_functions.h"

namespace vantelle::app {

class OffscreenContext {
public:
  // A current context drawing into a width x height RGBA image. Failure naming what is
  // missing when Mesa or its OpenGL 3.3 core profile cannot be had.
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  const GlFunctions& Gl() const { return gl_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The image after glFinish: rows from the bottom up, four bytes per pixel.
  const std::vector<unsigned char>& Pixels() const { return pixels_; }

private:
  struct Library;
  const Library* library_;
  void* context_ = nullptr;
  int width_;
  int height_;
  std::vector<unsigned char> pixels_;
  GlFunctions gl_;
};

}  // namespace vantelle::app
