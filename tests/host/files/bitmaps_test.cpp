#include "host/files/bitmaps.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <string>

#include "host/core/faults.h"

namespace {

using Rgba = std::array<UChar, 4>;

Rgba PixelAt(const BaseBitmap& bmp, Int32 x, Int32 y) {
  Rgba p{};
  bmp.GetPixel(x, y, &p[0], &p[1], &p[2], &p[3]);
  return p;
}

struct BitmapDeleter {
  void operator()(BaseBitmap* b) const { BaseBitmap::Free(b); }
};
using BitmapPtr = std::unique_ptr<BaseBitmap, BitmapDeleter>;

BitmapPtr NewBitmap() { return BitmapPtr(BaseBitmap::Alloc()); }

class Bitmaps : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vantelle_bmp_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    ClearHostFaults();
    std::filesystem::remove_all(dir_);
  }
  Filename File(const std::string& name) const { return Filename(dir_ / name); }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // Writes one image through libtiff in layouts our own Save never produces.
  void WriteTiff(const std::string& name, UInt32 w, UInt32 h, std::uint16_t spp, std::uint16_t bps,
                 std::uint16_t photometric, const void* data, Int32 extraType = -1, Bool tiled = false,
                 std::uint16_t format = SAMPLEFORMAT_UINT) const {
    TIFF* tif = TIFFOpen((dir_ / name).string().c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (extraType >= 0) {
      const std::uint16_t extra[1] = {static_cast<std::uint16_t>(extraType)};
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    const std::size_t row = std::size_t{w} * spp * bps / 8;
    const auto* bytes = static_cast<const UChar*>(data);
    if (tiled) {
      TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
      std::vector<UChar> tile(16 * 16 * spp * bps / 8, 0);
      const std::size_t px = spp * bps / 8;
      for (UInt32 ty = 0; ty < h; ty += 16)
        for (UInt32 tx = 0; tx < w; tx += 16) {
          std::fill(tile.begin(), tile.end(), 0);
          for (UInt32 y = ty; y < std::min(h, ty + 16); ++y)
            for (UInt32 x = tx; x < std::min(w, tx + 16); ++x)
              std::memcpy(&tile[((y - ty) * 16 + (x - tx)) * px], bytes + y * row + x * px, px);
          TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
        }
    } else {
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);  // several rows a strip, several strips
      std::vector<UChar> line(row);
      for (UInt32 y = 0; y < h; ++y) {
        std::memcpy(line.data(), bytes + y * row, row);
        ASSERT_EQ(TIFFWriteScanline(tif, line.data(), y, 0), 1);
      }
    }
    TIFFClose(tif);
  }
  std::filesystem::path dir_;
};

TEST_F(Bitmaps, IconStripHasFiveIconsEachWithOpaqueAndTransparentPixels) {
  BitmapPtr bmp = NewBitmap();
  ASSERT_EQ(bmp->Init(Filename(VANTELLE_SOURCE_DIR "/res/Surfo.tif")), IMAGERESULT::OK);
  ASSERT_EQ(bmp->GetBw(), 320);
  ASSERT_EQ(bmp->GetBh(), 64);
  for (Int32 icon = 0; icon < 5; ++icon) {
    Int32 opaque = 0, transparent = 0;
    for (Int32 y = 0; y < 64; ++y)
      for (Int32 x = icon * 64; x < icon * 64 + 64; ++x) {
        const UChar a = PixelAt(*bmp, x, y)[3];
        opaque += a == 255;
        transparent += a == 0;
      }
    EXPECT_GT(opaque, 200) << "icon " << icon;
    EXPECT_GT(transparent, 200) << "icon " << icon;
  }
}

TEST_F(Bitmaps, SaveAndLoadKeepExactStraightRgbaAndLeaveNoTemporaryFile) {
  BitmapPtr src = NewBitmap();
  ASSERT_TRUE(src->Init(3, 2));
  src->SetPixel(0, 0, 200, 100, 50, 128);  // premultiplying would darken this
  src->SetPixel(1, 0, 10, 20, 30, 0);      // colour under zero alpha must survive too
  src->SetPixel(2, 0, 255, 255, 255, 255);
  src->SetPixel(0, 1, 1, 2, 3, 1);
  src->SetPixel(2, 1, 7, 8, 9, 254);
  WriteBytes("out.tif", "old contents");
  ASSERT_TRUE(src->Save(File("out.tif")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);

  BitmapPtr back = NewBitmap();
  ASSERT_EQ(back->Init(File("out.tif")), IMAGERESULT::OK);
  ASSERT_EQ(back->GetBw(), 3);
  ASSERT_EQ(back->GetBh(), 2);
  for (Int32 y = 0; y < 2; ++y)
    for (Int32 x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(*back, x, y), PixelAt(*src, x, y)) << x << "," << y;

  // Other readers take the fourth sample as alpha only when the file says so.
  TIFF* tif = TIFFOpen((dir_ / "out.tif").string().c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::uint16_t count = 0, *types = nullptr, compression = 0;
  EXPECT_EQ(TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types), 1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(types[0], EXTRASAMPLE_UNASSALPHA);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  EXPECT_EQ(compression, COMPRESSION_NONE);
  TIFFClose(tif);

  // A failure after the temporary file exists (the target is a folder) must remove it.
  std::filesystem::create_directories(dir_ / "taken.tif" / "inside");
  EXPECT_FALSE(src->Save(File("taken.tif")));
  EXPECT_FALSE(src->Save(File("no_such_folder/out.tif")));
  EXPECT_FALSE(NewBitmap()->Save(File("empty.tif")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

TEST_F(Bitmaps, ReadsGreyAlphaSixteenBitTiledAndPremultipliedLayouts) {
  const UChar greyAlpha[] = {0, 255, 100, 50, 255, 0};
  WriteTiff("ga.tif", 3, 1, 2, 8, PHOTOMETRIC_MINISBLACK, greyAlpha, EXTRASAMPLE_UNASSALPHA);
  BitmapPtr bmp = NewBitmap();
  ASSERT_EQ(bmp->Init(File("ga.tif")), IMAGERESULT::OK);
  EXPECT_EQ(PixelAt(*bmp, 1, 0), (Rgba{100, 100, 100, 50}));
  EXPECT_EQ(PixelAt(*bmp, 2, 0), (Rgba{255, 255, 255, 0}));

  const UChar white[] = {0, 255};
  WriteTiff("w.tif", 2, 1, 1, 8, PHOTOMETRIC_MINISWHITE, white);
  ASSERT_EQ(bmp->Init(File("w.tif")), IMAGERESULT::OK);
  EXPECT_EQ(PixelAt(*bmp, 0, 0), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(PixelAt(*bmp, 1, 0), (Rgba{0, 0, 0, 255}));

  const std::uint16_t wide[] = {65535, 0, 32896, 257, 1000, 2000, 3000, 4000};
  WriteTiff("16.tif", 2, 1, 4, 16, PHOTOMETRIC_RGB, wide, EXTRASAMPLE_UNASSALPHA);
  ASSERT_EQ(bmp->Init(File("16.tif")), IMAGERESULT::OK);
  EXPECT_EQ(PixelAt(*bmp, 0, 0), (Rgba{255, 0, 128, 1}));
  EXPECT_EQ(PixelAt(*bmp, 1, 0), (Rgba{4, 8, 12, 16}));

  const UChar assoc[] = {50, 25, 0, 128, 9, 9, 9, 0};
  WriteTiff("pm.tif", 2, 1, 4, 8, PHOTOMETRIC_RGB, assoc, EXTRASAMPLE_ASSOCALPHA);
  ASSERT_EQ(bmp->Init(File("pm.tif")), IMAGERESULT::OK);
  EXPECT_EQ(PixelAt(*bmp, 0, 0), (Rgba{100, 50, 0, 128}));
  EXPECT_EQ(PixelAt(*bmp, 1, 0), (Rgba{0, 0, 0, 0}));

  // Tiles that overhang the right and bottom edges.
  constexpr UInt32 w = 20, h = 18;
  std::vector<UChar> rgb(w * h * 3);
  for (UInt32 i = 0; i < w * h; ++i) rgb[i * 3] = UChar(i % w), rgb[i * 3 + 1] = UChar(i / w);
  WriteTiff("tiled.tif", w, h, 3, 8, PHOTOMETRIC_RGB, rgb.data(), -1, true);
  ASSERT_EQ(bmp->Init(File("tiled.tif")), IMAGERESULT::OK);
  ASSERT_EQ(bmp->GetBw(), 20);
  ASSERT_EQ(bmp->GetBh(), 18);
  EXPECT_EQ(PixelAt(*bmp, 19, 17), (Rgba{19, 17, 0, 255}));
  EXPECT_EQ(PixelAt(*bmp, 3, 16), (Rgba{3, 16, 0, 255}));
}

TEST_F(Bitmaps, UnsupportedOrHostileFilesFailWithoutCrashingAndLeaveTheBitmapEmpty) {
  BitmapPtr bmp = NewBitmap();
  EXPECT_EQ(bmp->Init(File("missing.tif")), IMAGERESULT::NOTEXISTING);

  ASSERT_EQ(bmp->Init(Filename(VANTELLE_SOURCE_DIR "/res/Surfo.tif")), IMAGERESULT::OK);
  WriteBytes("text.tif", "this is not an image at all");
  EXPECT_EQ(bmp->Init(File("text.tif")), IMAGERESULT::WRONGTYPE);
  EXPECT_EQ(bmp->GetBw(), 0);
  EXPECT_EQ(PixelAt(*bmp, 0, 0), (Rgba{0, 0, 0, 0}));

  std::string strip;
  ASSERT_TRUE(ReadTextFile(Filename(VANTELLE_SOURCE_DIR "/res/Surfo.tif"), strip));
  for (std::size_t cut : {std::size_t{4}, std::size_t{40}, std::size_t{300}, strip.size() / 2}) {
    WriteBytes("cut.tif", strip.substr(0, cut));
    EXPECT_NE(bmp->Init(File("cut.tif")), IMAGERESULT::OK) << cut;
    EXPECT_EQ(bmp->GetBh(), 0);
  }
  std::string garbage = "II*";
  garbage += '\0';
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919 + 13) % 251);
  WriteBytes("garbage.tif", garbage);
  EXPECT_NE(bmp->Init(File("garbage.tif")), IMAGERESULT::OK);

  std::vector<UChar> row(70000, 9);
  WriteTiff("wide.tif", 70000, 1, 1, 8, PHOTOMETRIC_MINISBLACK, row.data());
  EXPECT_EQ(bmp->Init(File("wide.tif")), IMAGERESULT::WRONGTYPE);
  const float samples[] = {0.5f};
  WriteTiff("float.tif", 1, 1, 1, 32, PHOTOMETRIC_MINISBLACK, samples, -1, false, SAMPLEFORMAT_IEEEFP);
  EXPECT_EQ(bmp->Init(File("float.tif")), IMAGERESULT::WRONGTYPE);
}

TEST_F(Bitmaps, SizesAndPixelAccessStayInsideTheBitmap) {
  BitmapPtr bmp = NewBitmap();
  EXPECT_FALSE(bmp->Init(0, 5));
  EXPECT_FALSE(bmp->Init(5, -1));
  EXPECT_FALSE(bmp->Init(65537, 1));
  ASSERT_TRUE(bmp->Init(2, 2));
  bmp->SetPixel(2, 0, 1, 1, 1);
  bmp->SetPixel(-1, 1, 1, 1, 1);
  bmp->SetPixel(1, 1, 4, 5, 6);
  EXPECT_EQ(PixelAt(*bmp, 1, 1), (Rgba{4, 5, 6, 255}));
  EXPECT_EQ(PixelAt(*bmp, 0, 1), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(PixelAt(*bmp, 2, 1), (Rgba{0, 0, 0, 0}));
}

TEST_F(Bitmaps, ClonePartCopiesTheOverlapAndLeavesTheRestTransparent) {
  BitmapPtr bmp = NewBitmap();
  ASSERT_TRUE(bmp->Init(4, 3));
  for (Int32 y = 0; y < 3; ++y)
    for (Int32 x = 0; x < 4; ++x) bmp->SetPixel(x, y, UChar(x), UChar(y), 7, 200);

  BitmapPtr inside(bmp->GetClonePart(1, 1, 2, 2));
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside->GetBw(), 2);
  EXPECT_EQ(PixelAt(*inside, 0, 0), (Rgba{1, 1, 7, 200}));
  EXPECT_EQ(PixelAt(*inside, 1, 1), (Rgba{2, 2, 7, 200}));

  BitmapPtr partly(bmp->GetClonePart(-1, 2, 3, 2));
  ASSERT_NE(partly, nullptr);
  EXPECT_EQ(PixelAt(*partly, 0, 0), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(PixelAt(*partly, 1, 0), (Rgba{0, 2, 7, 200}));
  EXPECT_EQ(PixelAt(*partly, 2, 0), (Rgba{1, 2, 7, 200}));
  EXPECT_EQ(PixelAt(*partly, 1, 1), (Rgba{0, 0, 0, 0}));

  BitmapPtr outside(bmp->GetClonePart(LIMIT_MAX_INT32 - 1, 0, 5, 5));
  ASSERT_NE(outside, nullptr);
  EXPECT_EQ(outside->GetBh(), 5);
  EXPECT_EQ(PixelAt(*outside, 0, 0), (Rgba{0, 0, 0, 0}));

  EXPECT_EQ(bmp->GetClonePart(0, 0, 0, 1), nullptr);
  EXPECT_EQ(bmp->GetClonePart(0, 0, 1, -3), nullptr);
}

TEST_F(Bitmaps, AllocationFaultGivesNullIncludingForClones) {
  BitmapPtr bmp = NewBitmap();
  ASSERT_TRUE(bmp->Init(2, 2));
  SetHostFault(HostFault::BITMAP_ALLOC, 1);
  BitmapPtr first = NewBitmap();
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(BaseBitmap::Alloc(), nullptr);
  EXPECT_NE(NewBitmap(), nullptr);
  SetHostFault(HostFault::BITMAP_ALLOC, 0);
  EXPECT_EQ(bmp->GetClonePart(0, 0, 1, 1), nullptr);
}

}  // namespace
