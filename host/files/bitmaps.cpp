#include "host/files/bitmaps.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>

#include "host/core/faults.h"
#include "host/files/file_replacement.h"

namespace {

constexpr UInt32 kMaxSide = 65536;
// Samples beyond the fourth are ignored, but a file may still claim thousands of them;
// a cap keeps the per-row buffer small whatever the header says.
constexpr UInt32 kMaxSamplesPerPixel = 64;
// What libtiff may allocate in one piece for a strip or tile of a hostile file.
constexpr tmsize_t kMaxLibtiffAlloc = tmsize_t{256} << 20;
// Up to this size the pixel buffer is reserved at once; beyond it, it grows row by row,
// so a header claiming a huge image cannot make us allocate before any data is decoded.
constexpr std::size_t kMaxUpfrontReserve = std::size_t{64} << 20;

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // handled: keeps libtiff from printing
}

// Messages raised outside any open file still go to the process-wide handlers.
void SilenceLibtiffGlobally() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

struct TiffOptions {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  TiffOptions() {
    if (opts != nullptr) {
      TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kMaxLibtiffAlloc);
      TIFFOpenOptionsSetErrorHandlerExtR(opts, QuietHandler, nullptr);
      TIFFOpenOptionsSetWarningHandlerExtR(opts, QuietHandler, nullptr);
    }
  }
  ~TiffOptions() { TIFFOpenOptionsFree(opts); }
  TiffOptions(const TiffOptions&) = delete;
  TiffOptions& operator=(const TiffOptions&) = delete;
};

struct TiffCloser {
  void operator()(TIFF* tif) const {
    if (tif != nullptr) {
      TIFFClose(tif);
    }
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

Bool HasTiffMagic(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char head[4] = {};
  if (!in.read(head, 4)) {
    return false;
  }
  const bool little = head[0] == 'I' && head[1] == 'I';
  const bool big = head[0] == 'M' && head[1] == 'M';
  if (!little && !big) {
    return false;
  }
  const int version = little ? (static_cast<UChar>(head[2]) | static_cast<UChar>(head[3]) << 8)
                             : (static_cast<UChar>(head[2]) << 8 | static_cast<UChar>(head[3]));
  return version == 42 || version == 43;  // classic or BigTIFF
}

// How the samples of one pixel map to straight 8-bit RGBA.
struct Layout {
  UInt32 samples = 1;       // per pixel, as stored
  UInt32 bytesPerSample = 1;
  Bool rgb = false;         // else grey
  Bool invertGrey = false;  // MINISWHITE
  Bool hasAlpha = false;
  Bool premultiplied = false;
};

UChar To8(const UChar* sample, UInt32 bytesPerSample) {
  if (bytesPerSample == 1) {
    return *sample;
  }
  // libtiff hands 16-bit samples over in native byte order.
  std::uint16_t s16 = 0;
  std::memcpy(&s16, sample, sizeof s16);
  const UInt32 v = s16;
  return static_cast<UChar>((v * 255u + 32767u) / 65535u);
}

// Converts `count` pixels starting at `src` into RGBA at `dst`.
void ConvertPixels(const Layout& layout, const UChar* src, UInt32 count, UChar* dst) {
  const UInt32 stride = layout.samples * layout.bytesPerSample;
  const UInt32 colours = layout.rgb ? 3u : 1u;
  for (UInt32 i = 0; i < count; ++i, src += stride, dst += 4) {
    UChar c[3];
    for (UInt32 k = 0; k < colours; ++k) {
      c[k] = To8(src + k * layout.bytesPerSample, layout.bytesPerSample);
    }
    if (!layout.rgb) {
      const UChar grey = layout.invertGrey ? static_cast<UChar>(255 - c[0]) : c[0];
      c[0] = c[1] = c[2] = grey;
    }
    const UChar a =
        layout.hasAlpha ? To8(src + colours * layout.bytesPerSample, layout.bytesPerSample) : 255;
    if (layout.premultiplied && a != 255) {
      for (UChar& v : c) {
        v = a == 0 ? 0 : static_cast<UChar>(std::min<UInt32>(255u, (v * 255u + a / 2u) / a));
      }
    }
    dst[0] = c[0];
    dst[1] = c[1];
    dst[2] = c[2];
    dst[3] = a;
  }
}

IMAGERESULT ReadLayout(TIFF* tif, UInt32& width, UInt32& height, Layout& layout) {
  std::uint16_t bps = 1, spp = 1, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  std::uint16_t photometric = 0;
  if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) != 1 ||
      TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
    return IMAGERESULT::WRONGTYPE;
  }
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    return IMAGERESULT::WRONGTYPE;
  }
  if ((bps != 8 && bps != 16) || format != SAMPLEFORMAT_UINT) {
    return IMAGERESULT::WRONGTYPE;
  }
  if (spp < 1 || spp > kMaxSamplesPerPixel) {
    return IMAGERESULT::WRONGTYPE;
  }
  // With one sample a separate plane is the same bytes as an interleaved one.
  if (planar != PLANARCONFIG_CONTIG && spp != 1) {
    return IMAGERESULT::WRONGTYPE;
  }
  layout = Layout{};
  layout.samples = spp;
  layout.bytesPerSample = bps / 8u;
  switch (photometric) {
    case PHOTOMETRIC_RGB:
      layout.rgb = true;
      break;
    case PHOTOMETRIC_MINISBLACK:
      break;
    case PHOTOMETRIC_MINISWHITE:
      layout.invertGrey = true;
      break;
    default:
      return IMAGERESULT::WRONGTYPE;
  }
  const UInt32 colours = layout.rgb ? 3u : 1u;
  if (spp < colours) {
    return IMAGERESULT::WRONGTYPE;
  }
  if (spp > colours) {
    // The first extra sample is taken as alpha even when the file leaves its meaning open,
    // as most writers of RGBA data do.
    layout.hasAlpha = true;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) == 1 &&
        extraCount > 0 && extraTypes != nullptr) {
      layout.premultiplied = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }
  }
  // The decoder's own idea of a row must match ours, or the conversion would read
  // past the buffer it filled.
  const UInt64 rowBytes = UInt64{width} * spp * layout.bytesPerSample;
  if (!TIFFIsTiled(tif) && TIFFScanlineSize64(tif) != rowBytes) {
    return IMAGERESULT::WRONGTYPE;
  }
  return IMAGERESULT::OK;
}

IMAGERESULT ReadStrips(TIFF* tif, UInt32 width, UInt32 height, const Layout& layout,
                       std::vector<UChar>& rgba) {
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize <= 0) {
    return IMAGERESULT::WRONGTYPE;
  }
  std::vector<UChar> line(static_cast<std::size_t>(lineSize));
  const std::size_t outRow = std::size_t{width} * 4u;
  for (UInt32 y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif, line.data(), y, 0) != 1) {
      return IMAGERESULT::FILEERROR;
    }
    const std::size_t at = rgba.size();
    rgba.resize(at + outRow);
    ConvertPixels(layout, line.data(), width, rgba.data() + at);
  }
  return IMAGERESULT::OK;
}

IMAGERESULT ReadTiles(TIFF* tif, UInt32 width, UInt32 height, const Layout& layout,
                      std::vector<UChar>& rgba) {
  UInt32 tileW = 0, tileH = 0;
  if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW) != 1 ||
      TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH) != 1 || tileW < 1 || tileH < 1 ||
      tileW > kMaxSide || tileH > kMaxSide) {
    return IMAGERESULT::WRONGTYPE;
  }
  const UInt64 pixelBytes = UInt64{layout.samples} * layout.bytesPerSample;
  const UInt64 tileBytes = UInt64{tileW} * tileH * pixelBytes;
  if (TIFFTileSize64(tif) != tileBytes || tileBytes > static_cast<UInt64>(kMaxLibtiffAlloc)) {
    return IMAGERESULT::WRONGTYPE;
  }
  std::vector<UChar> tile(static_cast<std::size_t>(tileBytes));
  const std::size_t outRow = std::size_t{width} * 4u;
  for (UInt32 ty = 0; ty < height; ty += tileH) {
    const UInt32 rows = std::min(tileH, height - ty);
    const std::size_t bandStart = rgba.size();
    rgba.resize(bandStart + outRow * rows);
    for (UInt32 tx = 0; tx < width; tx += tileW) {
      if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0) {
        return IMAGERESULT::FILEERROR;
      }
      const UInt32 cols = std::min(tileW, width - tx);
      for (UInt32 r = 0; r < rows; ++r) {
        ConvertPixels(layout, tile.data() + static_cast<std::size_t>(UInt64{r} * tileW * pixelBytes), cols,
                      rgba.data() + bandStart + r * outRow + std::size_t{tx} * 4u);
      }
    }
  }
  return IMAGERESULT::OK;
}

}  // namespace

BaseBitmap* BaseBitmap::Alloc() {
  if (HostFaultTriggered(HostFault::BITMAP_ALLOC)) {
    return nullptr;
  }
  return new (std::nothrow) BaseBitmap();
}

void BaseBitmap::Free(BaseBitmap*& bitmap) {
  delete bitmap;
  bitmap = nullptr;
}

IMAGERESULT BaseBitmap::Init(const Filename& name, Int32 frame) {
  width_ = 0;
  height_ = 0;
  rgba_.clear();
  rgba_.shrink_to_fit();

  const std::filesystem::path& path = name.GetPath();
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) {
    return IMAGERESULT::NOTEXISTING;
  }
  if (!std::filesystem::is_regular_file(path, ec)) {
    return IMAGERESULT::FILEERROR;
  }
  {
    std::ifstream probe(path, std::ios::binary);
    if (!probe) {
      return IMAGERESULT::FILEERROR;
    }
  }
  if (!HasTiffMagic(path)) {
    return IMAGERESULT::WRONGTYPE;
  }

  SilenceLibtiffGlobally();
  TiffOptions options;
  if (options.opts == nullptr) {
    return IMAGERESULT::OUTOFMEMORY;
  }
  // Opened here, by the UTF-8 name, for every system alike; libtiff closes it.
  const int fd = OpenFileForReading(name);
  TiffHandle tif(fd >= 0 ? TIFFFdOpenExt(fd, name.GetString().GetStd().c_str(), "r", options.opts) : nullptr);
  if (fd >= 0 && !tif) {
    ::close(fd);
  }
  if (!tif) {
    return IMAGERESULT::FILEERROR;
  }
  if (frame > 0 && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(frame)) != 1) {
    return IMAGERESULT::FILEERROR;
  }

  UInt32 width = 0, height = 0;
  Layout layout;
  IMAGERESULT result = ReadLayout(tif.get(), width, height, layout);
  if (result != IMAGERESULT::OK) {
    return result;
  }

  std::vector<UChar> rgba;
  try {
    const std::size_t total = std::size_t{width} * height * 4u;
    rgba.reserve(std::min(total, kMaxUpfrontReserve));
    result = TIFFIsTiled(tif.get()) ? ReadTiles(tif.get(), width, height, layout, rgba)
                                    : ReadStrips(tif.get(), width, height, layout, rgba);
  } catch (const std::bad_alloc&) {
    return IMAGERESULT::OUTOFMEMORY;
  } catch (const std::length_error&) {
    return IMAGERESULT::OUTOFMEMORY;
  }
  if (result != IMAGERESULT::OK) {
    return result;
  }
  width_ = static_cast<Int32>(width);
  height_ = static_cast<Int32>(height);
  rgba_ = std::move(rgba);
  return IMAGERESULT::OK;
}

Bool BaseBitmap::Init(Int32 width, Int32 height) {
  if (width < 1 || height < 1 || width > static_cast<Int32>(kMaxSide) ||
      height > static_cast<Int32>(kMaxSide)) {
    return false;
  }
  std::vector<UChar> pixels;
  try {
    pixels.assign(std::size_t(width) * std::size_t(height) * 4u, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  rgba_ = std::move(pixels);
  return true;
}

void BaseBitmap::GetPixel(Int32 x, Int32 y, UChar* r, UChar* g, UChar* b, UChar* a) const {
  UChar px[4] = {0, 0, 0, 0};
  if (x >= 0 && y >= 0 && x < width_ && y < height_) {
    const std::size_t at = (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4u;
    std::memcpy(px, rgba_.data() + at, 4);
  }
  if (r != nullptr) *r = px[0];
  if (g != nullptr) *g = px[1];
  if (b != nullptr) *b = px[2];
  if (a != nullptr) *a = px[3];
}

void BaseBitmap::SetPixel(Int32 x, Int32 y, UChar r, UChar g, UChar b, UChar a) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return;
  }
  UChar* px = rgba_.data() + (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4u;
  px[0] = r;
  px[1] = g;
  px[2] = b;
  px[3] = a;
}

BaseBitmap* BaseBitmap::GetClonePart(Int32 x, Int32 y, Int32 width, Int32 height) const {
  if (width < 1 || height < 1) {
    return nullptr;
  }
  BaseBitmap* part = Alloc();
  if (part == nullptr) {
    return nullptr;
  }
  if (!part->Init(width, height)) {
    Free(part);
    return nullptr;
  }
  // Only the overlap is copied; 64-bit bounds keep x + width from overflowing.
  const Int64 x0 = std::max<Int64>(x, 0), y0 = std::max<Int64>(y, 0);
  const Int64 x1 = std::min<Int64>(Int64{x} + width, width_);
  const Int64 y1 = std::min<Int64>(Int64{y} + height, height_);
  if (x0 < x1 && y0 < y1) {
    const std::size_t span = static_cast<std::size_t>(x1 - x0) * 4u;
    for (Int64 sy = y0; sy < y1; ++sy) {
      const UChar* src = rgba_.data() + static_cast<std::size_t>(sy * width_ + x0) * 4u;
      UChar* dst = part->rgba_.data() +
                   static_cast<std::size_t>((sy - y) * width + (x0 - x)) * 4u;
      std::memcpy(dst, src, span);
    }
  }
  return part;
}

Bool BaseBitmap::Save(const Filename& name) const {
  if (width_ < 1 || height_ < 1 || !name.IsPopulated()) {
    return false;
  }
  // The image replaces the target only once complete, so a reader never sees a
  // half-written file and a failure leaves the old one.
  FileWriteError error;
  const std::unique_ptr<FileReplacement> file = FileReplacement::Open(name, &error);
  if (file == nullptr) {
    return false;
  }
  SilenceLibtiffGlobally();
  TiffOptions options;
  // libtiff closes the descriptor it is given; the replacement keeps its own.
  const int fd = options.opts != nullptr ? dup(file->GetDescriptor()) : -1;
  TIFF* tif = fd >= 0 ? TIFFFdOpenExt(fd, name.GetString().GetStd().c_str(), "w", options.opts) : nullptr;
  if (tif == nullptr) {
    if (fd >= 0) {
      close(fd);
    }
    return false;
  }
  Bool ok = true;
  const UInt32 w = static_cast<UInt32>(width_), h = static_cast<UInt32>(height_);
  const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
  // Strips of about 64 KiB keep the strip table small without huge single strips.
  const UInt32 rowsPerStrip = std::max<UInt32>(1u, (64u * 1024u) / (w * 4u));
  ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w) == 1 &&
       TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h) == 1 &&
       TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) == 1 &&
       TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) == 1 &&
       TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) == 1 &&
       TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
       TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
       TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) == 1 &&
       TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) == 1;
  std::vector<UChar> row(std::size_t{w} * 4u);
  for (UInt32 y = 0; ok && y < h; ++y) {
    std::memcpy(row.data(), rgba_.data() + std::size_t{y} * row.size(), row.size());
    ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
  }
  ok = ok && TIFFFlush(tif) == 1;
  TIFFClose(tif);
  return ok && file->Commit(&error);
}
