// An offscreen framebuffer of the current OpenGL context: a colour image with a depth
// buffer, to draw into and read back.
#pragma once

#include <vector>

#include "app/render/gl_functions.h"

namespace vantelle::app {

class Framebuffer {
public:
  // Failure when the context cannot make one of this size.
  Framebuffer(const GlFunctions& gl, int width, int height);
  ~Framebuffer();
  Framebuffer(const Framebuffer&) = delete;
  Framebuffer& operator=(const Framebuffer&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Makes it the target of drawing and the source of reading.
  void Bind() const;
  // The `width` x `height` pixels from (x, y), counted from the bottom left, as RGBA rows
  // from the bottom up into `rgba`, after everything drawn so far.
  void Read(int x, int y, int width, int height, std::vector<unsigned char>& rgba) const;
  // Copies the whole image into the window's own framebuffer with its bottom-left corner
  // at (x, y), and leaves the window's framebuffer bound.
  void CopyToWindow(int x, int y) const { CopyTo(0, x, y); }
  // The same into the framebuffer `target` (0: the window's), which is left bound.
  void CopyTo(GLuint target, int x, int y) const;

private:
  const GlFunctions& gl_;
  int width_;
  int height_;
  unsigned framebuffer_ = 0;
  unsigned renderbuffers_[2] = {};  // colour, depth
};

}  // namespace vantelle::app
