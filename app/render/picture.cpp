#include "app/render/picture.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <chrono>

#include <CLI/CLI.hpp>

#include "app/app_error.h"
#include "app/render/offscreen_context.h"
#include "app/render/viewport_renderer.h"
#include "app/render/viewport_scene.h"

namespace vantelle::app {

namespace {

constexpr int kSmallestSide = 16;
constexpr int kLargestSide = 8192;
// Anti-aliasing: the picture is drawn this many times larger on each side and averaged
// down, as long as that stays within this many pixels.
constexpr int kMostScale = 3;
constexpr long long kMostScaledPixels = 40'000'000;

bool ParseSide(std::string_view text, int& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

// Averages each scale x scale block of the RGBA image (rows from the bottom) into one RGB
// pixel of the picture (rows from the top).
Picture Downsample(const std::vector<unsigned char>& rgba, int width, int height, int scale) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  const std::size_t sourceWidth = static_cast<std::size_t>(width) * static_cast<std::size_t>(scale);
  const unsigned area = static_cast<unsigned>(scale * scale);
  for (int y = 0; y < height; ++y) {
    // Picture row y is made of source rows counted from the top.
    const std::size_t firstRow = static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(scale);
    unsigned char* out = picture.rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      unsigned sum[3] = {0, 0, 0};
      for (int dy = 0; dy < scale; ++dy) {
        const unsigned char* row = rgba.data() + (firstRow + static_cast<std::size_t>(dy)) * sourceWidth * 4 +
                                   static_cast<std::size_t>(x) * static_cast<std::size_t>(scale) * 4;
        for (int dx = 0; dx < scale; ++dx) {
          sum[0] += row[dx * 4];
          sum[1] += row[dx * 4 + 1];
          sum[2] += row[dx * 4 + 2];
        }
      }
      for (int c = 0; c < 3; ++c) {
        out[x * 3 + c] = static_cast<unsigned char>((sum[c] + area / 2) / area);
      }
    }
  }
  return picture;
}

}  // namespace

void AddPictureOptions(CLI::App& command, PictureOptions& options) {
  command.add_option("--size", options.size, "Size of a .png picture in pixels")
      ->type_name("WxH")
      ->capture_default_str();
  CLI::Option* view =
      command.add_option("--view", options.view, "View of a .png picture: front, top, right or persp (the default)")
          ->type_name("VIEW");
  command
      .add_option("--camera", options.camera,
                  "Perspective of a .png picture from these angles in degrees (azimuth 0 looks from the front, 90 "
                  "from the right), at DISTANCE scene units from the centre")
      ->type_name("AZ,EL[,DIST]")
      ->excludes(view);
}

PictureSettings ResolvePictureOptions(const PictureOptions& options) {
  PictureSettings settings;
  const std::string& size = options.size;
  const std::size_t cross = size.find_first_of("xX");
  if (cross == std::string::npos || !ParseSide(std::string_view(size).substr(0, cross), settings.width) ||
      !ParseSide(std::string_view(size).substr(cross + 1), settings.height)) {
    throw BadInput("--size " + size + ": expected WIDTHxHEIGHT in pixels, e.g. 1280x720");
  }
  if (std::min(settings.width, settings.height) < kSmallestSide ||
      std::max(settings.width, settings.height) > kLargestSide) {
    throw BadInput("--size " + size + ": each side lies between " + std::to_string(kSmallestSide) + " and " +
                   std::to_string(kLargestSide) + " pixels");
  }
  if (!options.view.empty()) {
    settings.view.kind = ParseViewKind(options.view);
  }
  if (!options.camera.empty()) {
    ParseCameraAngles(options.camera, settings.view);
  }
  return settings;
}

bool IsPictureFile(const std::string& output) {
  std::string extension = std::filesystem::path(output).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
}

std::string FramePictureName(const std::string& output, std::size_t index) {
  std::filesystem::path stem(output);
  const std::string extension = stem.extension().string();
  stem.replace_extension();
  char number[32];
  std::snprintf(number, sizeof(number), "_%04zu", index);
  return stem.string() + number + extension;
}

PictureRenderer::PictureRenderer(const PictureSettings& settings) : settings_(settings) {
  const long long pixels = static_cast<long long>(settings.width) * settings.height;
  for (scale_ = kMostScale; scale_ > 1 && pixels * scale_ * scale_ > kMostScaledPixels; --scale_) {
  }
}

PictureRenderer::~PictureRenderer() {
  renderer_.reset();  // its OpenGL objects go while the context is still there
  context_.reset();
}

#define TT(x) fprintf(stderr, "%s %.3f\n", x, std::chrono::duration<double>(std::chrono::steady_clock::now()-t0).count())
Picture PictureRenderer::Draw(BaseDocument* doc) {
  auto t0 = std::chrono::steady_clock::now();
  const int width = settings_.width * scale_;
  const int height = settings_.height * scale_;
  if (context_ == nullptr) {
    context_ = std::make_unique<OffscreenContext>(width, height);
  TT("ctx");
    renderer_ = std::make_unique<ViewportRenderer>(context_->Gl());
  TT("renderer");
  }
  const ViewportScene scene = CollectViewportScene(doc);
  TT("collect");
  if (camera_ == nullptr) {
    camera_ = std::make_unique<Camera>(Camera::Frame(settings_.view, scene.bounds, settings_.width, settings_.height));
  }
  renderer_->Render(scene, *camera_, width, height, static_cast<float>(scale_));
  TT("render");
  context_->Gl().Finish();
  TT("finish");
  auto p= Downsample(context_->Pixels(), settings_.width, settings_.height, scale_);
  TT("down");
  return p;
}

std::vector<unsigned char> EncodePng(const Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  image.flags = PNG_IMAGE_FLAG_FAST;
  const png_int_32 stride = picture.width * 3;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgb.data(), stride, nullptr) == 0) {
    throw Failure(std::string("cannot encode the picture: ") + image.message);
  }
  std::vector<unsigned char> bytes(size);
  if (png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.rgb.data(), stride, nullptr) == 0) {
    throw Failure(std::string("cannot encode the picture: ") + image.message);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace vantelle::app
