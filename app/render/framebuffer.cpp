#include "app/render/framebuffer.h"

#include <string>

#include "app/app_error.h"

namespace vantelle::app {

Framebuffer::Framebuffer(const GlFunctions& gl, int width, int height) : gl_(gl), width_(width), height_(height) {
  gl.GenFramebuffers(1, &framebuffer_);
  gl.GenRenderbuffers(2, renderbuffers_);
  gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  gl.BindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[0]);
  gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers_[0]);
  gl.BindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[1]);
  gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers_[1]);
  if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    gl.DeleteFramebuffers(1, &framebuffer_);
    gl.DeleteRenderbuffers(2, renderbuffers_);
    throw Failure("cannot draw a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels: OpenGL has no room for it");
  }
}

Framebuffer::~Framebuffer() {
  gl_.DeleteFramebuffers(1, &framebuffer_);
  gl_.DeleteRenderbuffers(2, renderbuffers_);
}

void Framebuffer::Bind() const {
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

void Framebuffer::Read(int x, int y, int width, int height, std::vector<unsigned char>& rgba) const {
  rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  gl_.PixelStorei(GL_PACK_ALIGNMENT, 1);
  gl_.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

void Framebuffer::CopyTo(GLuint target, int x, int y) const {
  gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
  gl_.BlitFramebuffer(0, 0, width_, height_, x, y, x + width_, y + height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, target);
}

}  // namespace vantelle::app
