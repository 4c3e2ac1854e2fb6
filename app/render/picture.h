// Pictures of a document as the viewport shows it, written as PNG: the command line's
// picture options, an offscreen renderer kept across the frames of a sequence, and the
// encoding.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/render/camera.h"
#include "host/scene/document.h"

namespace CLI {
class App;
}

namespace vantelle::app {

// The picture options as typed.
struct PictureOptions {
  std::string size = "1280x720";
  std::string view;    // empty: the default perspective
  std::string camera;  // empty: the view's own angles
};

// Adds --size, --view and --camera (the last two exclusive) to a command.
void AddPictureOptions(CLI::App& command, PictureOptions& options);

// The options understood: the picture's size and the view.
struct PictureSettings {
  int width = 1280;
  int height = 720;
  ViewRequest view;
};

// BadInput naming the option for a size that is not WxH within 16 to 8192 pixels a side,
// an unknown view or camera angles that do not read.
PictureSettings ResolvePictureOptions(const PictureOptions& options);

// Whether `output` asks for a picture: it ends in ".png", in any case.
bool IsPictureFile(const std::string& output);

// An 8-bit RGB picture, rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

class Framebuffer;
class OffscreenContext;
struct GlFunctions;
class ViewportRenderer;

class PictureRenderer {
public:
  explicit PictureRenderer(const PictureSettings& settings);
  // Draws with the context current now (a window's), whose functions are `gl`, instead of
  // an offscreen one of its own. The context must stay current while pictures are drawn.
  PictureRenderer(const PictureSettings& settings, const GlFunctions& gl);
  ~PictureRenderer();
  PictureRenderer(const PictureRenderer&) = delete;
  PictureRenderer& operator=(const PictureRenderer&) = delete;

  // Draws `doc` as it stands (evaluate it first). The first picture frames the camera and
  // later ones keep it, so the frames of a sequence are seen from one place. Failure when
  // no OpenGL can be had.
  Picture Draw(BaseDocument* doc);
  // The camera of the pictures drawn so far; null before the first.
  const Camera* GetCamera() const { return camera_.get(); }
  // Draws from `camera` instead of framing the first picture (an interactive view's
  // picture is taken from where the user looks).
  void SetCamera(const Camera& camera) { camera_ = std::make_unique<Camera>(camera); }

private:
  PictureSettings settings_;
  std::unique_ptr<Camera> camera_;
  std::unique_ptr<OffscreenContext> context_;
  const GlFunctions* gl_ = nullptr;  // of the context drawn with
  std::unique_ptr<ViewportRenderer> renderer_;
  std::unique_ptr<Framebuffer> band_;
  std::vector<unsigned char> pixels_;  // one band read back
};

// The picture as a PNG file's bytes; Failure when it cannot be encoded.
std::vector<unsigned char> EncodePng(const Picture& picture);

// The name of the picture of the `index`-th frame of a sequence written to `output`:
// "f.png" gives "f_0000.png", "f_0001.png", ...
std::string FramePictureName(const std::string& output, std::size_t index);

}  // namespace vantelle::app
