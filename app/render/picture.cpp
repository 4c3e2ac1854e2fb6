#include "app/render/picture.h"

#include <png.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/app_error.h"
#include "app/render/framebuffer.h"
#include "app/render/offscreen_context.h"
#include "app/render/viewport_renderer.h"
#include "app/render/viewport_scene.h"
#include "host/files/files.h"

namespace vantelle::app {

namespace {

constexpr int kSmallestSide = 16;
constexpr int kLargestSide = 8192;
// Anti-aliasing: the picture is drawn this many times larger on each side and averaged
// down.
constexpr int kScale = 2;
// Pixels of the band a picture is drawn in, one band after another: a memory the software
// rasteriser touches once and then reuses, however large the picture.
constexpr long long kBandPixels = 1 << 20;

bool ParseSide(std::string_view text, int& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

// Averages each kScale x kScale block of a band (RGBA rows from the bottom, `rows` rows,
// the lowest being row `bottom` of the scaled picture) into the picture (RGB rows from the
// top).
void Downsample(const std::vector<unsigned char>& band, int rows, int bottom, Picture& picture) {
  const std::size_t bandWidth = static_cast<std::size_t>(picture.width) * kScale;
  constexpr unsigned area = kScale * kScale;
  for (int r = 0; r + kScale <= rows; r += kScale) {
    const int fromTop = picture.height - 1 - (bottom + r) / kScale;
    unsigned char* out =
        picture.rgb.data() + static_cast<std::size_t>(fromTop) * static_cast<std::size_t>(picture.width) * 3;
    for (int x = 0; x < picture.width; ++x) {
      unsigned sum[3] = {0, 0, 0};
      for (int dy = 0; dy < kScale; ++dy) {
        const unsigned char* in =
            band.data() + (static_cast<std::size_t>(r + dy) * bandWidth + static_cast<std::size_t>(x) * kScale) * 4;
        for (int dx = 0; dx < kScale; ++dx) {
          sum[0] += in[dx * 4];
          sum[1] += in[dx * 4 + 1];
          sum[2] += in[dx * 4 + 2];
        }
      }
      for (int c = 0; c < 3; ++c) {
        out[x * 3 + c] = static_cast<unsigned char>((sum[c] + area / 2) / area);
      }
    }
  }
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
  std::string extension = Utf8FromPath(PathFromUtf8(output).extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
}

std::string FramePictureName(const std::string& output, std::size_t index) {
  std::filesystem::path stem = PathFromUtf8(output);
  const std::string extension = Utf8FromPath(stem.extension());
  stem.replace_extension();
  char number[32];
  std::snprintf(number, sizeof(number), "_%04zu", index);
  return Utf8FromPath(stem) + number + extension;
}

PictureRenderer::PictureRenderer(const PictureSettings& settings) : settings_(settings) {}

PictureRenderer::PictureRenderer(const PictureSettings& settings, const GlFunctions& gl)
    : settings_(settings), gl_(&gl) {}

PictureRenderer::~PictureRenderer() {
  // The OpenGL objects go while the context is still there.
  band_.reset();
  renderer_.reset();
  context_.reset();
}

Picture PictureRenderer::Draw(BaseDocument* doc) {
  if (gl_ == nullptr) {
    context_ = std::make_unique<OffscreenContext>();
    gl_ = &context_->Gl();
  }
  if (renderer_ == nullptr) {
    renderer_ = std::make_unique<ViewportRenderer>(*gl_);
  }
  const ViewportScene scene = CollectViewportScene(doc);
  if (camera_ == nullptr) {
    camera_ = std::make_unique<Camera>(Camera::Frame(settings_.view, scene.bounds, settings_.width, settings_.height));
  }
  renderer_->Upload(scene);

  // The picture is drawn in bands across its whole width. Each band is drawn with a margin
  // all round, so a mark near a seam is drawn whole into both bands.
  const int width = settings_.width * kScale;
  const int height = settings_.height * kScale;
  const int margin =
      static_cast<int>(std::ceil(std::min(renderer_->LargestPoint(), 255.0f) * kScale * 0.5f)) + 2 * kScale;
  const long long rowsFit = kBandPixels / (width + 2 * margin) - 2 * margin;
  const int rows = std::clamp(static_cast<int>(rowsFit / kScale * kScale), kScale, height);
  if (band_ == nullptr || band_->Width() < width + 2 * margin || band_->Height() < rows + 2 * margin) {
    band_.reset();
    band_ = std::make_unique<Framebuffer>(*gl_, width + 2 * margin, rows + 2 * margin);
  }
  Picture picture;
  picture.width = settings_.width;
  picture.height = settings_.height;
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
  for (int bottom = 0; bottom < height; bottom += rows) {
    const int bandRows = std::min(rows, height - bottom);
    ViewRegion region;
    region.width = width;
    region.height = height;
    region.x = -margin;
    region.y = bottom - margin;
    region.partWidth = width + 2 * margin;
    region.partHeight = bandRows + 2 * margin;
    region.pixelScale = static_cast<float>(kScale);
    band_->Bind();
    renderer_->Draw(*camera_, region);
    band_->Read(margin, margin, width, bandRows, pixels_);
    Downsample(pixels_, bandRows, bottom, picture);
  }
  return picture;
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
