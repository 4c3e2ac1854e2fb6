// Draws a ViewportScene with OpenGL 3.3 core into whatever framebuffer is bound, the way a
// 3D application's viewport shows a scene: a dark gradient behind, shaded surfaces under a
// headlight, lines in their colours, then the objects' own markers and, over everything,
// their handles. It works with any current context: an offscreen one for pictures or a
// window's.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "app/render/camera.h"
#include "app/render/framebuffer.h"
#include "app/render/gl_functions.h"
#include "app/render/viewport_scene.h"

namespace vantelle::app {

// The part of a view to draw. The whole view is `width` x `height` pixels; the part from
// (x, y), counted from the bottom left, `partWidth` x `partHeight` pixels, is drawn into
// the bound framebuffer's bottom-left corner. Point sizes and line widths are multiplied
// by `pixelScale`, so a view drawn larger and scaled down keeps them.
struct ViewRegion {
  int width = 1;
  int height = 1;
  int x = 0;
  int y = 0;
  int partWidth = 1;
  int partHeight = 1;
  float pixelScale = 1.0f;

  static ViewRegion Whole(int width, int height, float pixelScale = 1.0f) {
    return {width, height, 0, 0, width, height, pixelScale};
  }
};

class ViewportRenderer {
public:
  // Compiles the shaders in the current context; Failure with the driver's message when
  // it cannot.
  explicit ViewportRenderer(const GlFunctions& gl);
  ~ViewportRenderer();
  ViewportRenderer(const ViewportRenderer&) = delete;
  ViewportRenderer& operator=(const ViewportRenderer&) = delete;

  // Hands the scene to OpenGL, replacing the one before; Draw may then run any number of
  // times (the parts of a picture, the frames of a view).
  void Upload(const ViewportScene& scene);
  // Draws the uploaded scene. Failure when OpenGL reports an error.
  void Draw(const Camera& camera, const ViewRegion& region);
  // The widest point mark of the uploaded scene in pixels (before the pixel scale): parts
  // of a picture overlap by half of it so that no mark is cut at their seams.
  float LargestPoint() const { return largestPoint_; }

private:
  struct Programs;
  struct Gpu;
  void DrawBackground(const ViewRegion& region);
  void DrawMeshes(const Mat4& viewProjection, const Camera& camera);
  void DrawLines(const Mat4& viewProjection, float pixelScale);
  void DrawMarks(int pass, const Mat4& viewProjection, const Camera& camera, float pixelScale);

  const GlFunctions& gl_;
  std::unique_ptr<Programs> programs_;
  std::unique_ptr<Gpu> gpu_;
  float largestPoint_ = 0.0f;
  // The background of the region drawn last, kept once a region is drawn twice running
  // (the frames of a view), so that later frames copy it rather than fill it again.
  std::array<int, 4> backgroundRegion_{};  // part width and height, whole height, bottom
  std::unique_ptr<Framebuffer> background_;
};

}  // namespace vantelle::app
