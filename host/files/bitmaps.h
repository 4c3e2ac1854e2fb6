// Bitmaps: 8-bit RGBA images, loaded from TIFF files.
#pragma once

#include <vector>

#include "host/files/files.h"

// Results of BaseBitmap::Init for a file.
enum class IMAGERESULT : Int32 {
  OK = 1,
  NOTEXISTING = -1,
  WRONGTYPE = -2,
  OUTOFMEMORY = -3,
  FILEERROR = -4,
};

class BaseBitmap {
public:
  // A new empty (0 x 0) bitmap, or null when it cannot be allocated.
  static BaseBitmap* Alloc();
  static void Free(BaseBitmap*& bitmap);

  // Loads a TIFF file (8 or 16 bits per sample; grey, grey + alpha, RGB or RGBA;
  // any compression libtiff reads). Alpha is kept straight, never premultiplied.
  // `frame` -1 takes the first image. Returns IMAGERESULT::OK (1) when loaded; on
  // failure the bitmap is left empty.
  IMAGERESULT Init(const Filename& name, Int32 frame = -1);
  // Makes an empty (transparent black) bitmap of the size; false for a size below 1 or
  // above 65536 on a side.
  Bool Init(Int32 width, Int32 height);

  Int32 GetBw() const { return width_; }
  Int32 GetBh() const { return height_; }

  // Pixel access; reads outside the bitmap give transparent black, writes are ignored.
  void GetPixel(Int32 x, Int32 y, UChar* r, UChar* g, UChar* b, UChar* a = nullptr) const;
  void SetPixel(Int32 x, Int32 y, UChar r, UChar g, UChar b, UChar a = 255);

  // A new bitmap of width x height holding the part at (x, y). Where the part reaches
  // beyond this bitmap it is transparent black. Null when width or height is below 1.
  BaseBitmap* GetClonePart(Int32 x, Int32 y, Int32 width, Int32 height) const;

  // Writes the bitmap as an uncompressed RGBA TIFF, whole or not at all, as
  // FileReplacement writes files; false when it cannot be written.
  Bool Save(const Filename& name) const;

private:
  BaseBitmap() = default;
  Int32 width_ = 0;
  Int32 height_ = 0;
  std::vector<UChar> rgba_;  // row-major, 4 bytes a pixel
};
