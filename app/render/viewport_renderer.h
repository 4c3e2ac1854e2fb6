// Draws a ViewportScene with OpenGL 3.3 core into whatever framebuffer is bound, the way a
// 3D application's viewport shows a scene: a dark gradient behind, shaded surfaces under a
// headlight, lines in their colours, then the objects' own markers and, over everything,
// their handles. It works with any current context: an offscreen one for pictures or a
// window's.
#pragma once

#include "app/render/camera.h"
#include "app/render/gl_functions.h"
#include "app/render/viewport_scene.h"

namespace vantelle::app {

class ViewportRenderer {
public:
  // Compiles the shaders in the current context; Failure with the driver's message when
  // it cannot.
  explicit ViewportRenderer(const GlFunctions& gl);
  ~ViewportRenderer();
  ViewportRenderer(const ViewportRenderer&) = delete;
  ViewportRenderer& operator=(const ViewportRenderer&) = delete;

  // Draws into the bound framebuffer's region of `width` x `height` pixels. Point sizes and
  // line widths are multiplied by `pixelScale`, so a picture drawn larger and scaled down
  // keeps them. Failure when OpenGL reports an error.
  void Render(const ViewportScene& scene, const Camera& camera, int width, int height, float pixelScale);

private:
  struct Programs;
  void DrawMeshes(const ViewportScene& scene, const Mat4& viewProjection, const Camera& camera);
  void DrawLines(const ViewportScene& scene, const Mat4& viewProjection, float pixelScale);
  void DrawMarks(const ViewMarks& marks, const Mat4& viewProjection, const Camera& camera, float pixelScale);

  const GlFunctions& gl_;
  Programs* programs_ = nullptr;
  unsigned vertexArray_ = 0;
  unsigned buffers_[4] = {};  // positions, normals or per-mark data, colours, indices
  unsigned sphereBuffers_[2] = {};  // the unit sphere: positions (also its normals), indices
  int sphereIndexCount_ = 0;
};

}  // namespace vantelle::app
