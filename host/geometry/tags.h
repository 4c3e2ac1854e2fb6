// Tags: data attached to an object. Variable tags hold one fixed-size entry per point or
// polygon (texture coordinates, vertex colours, spline segments).
#pragma once

#include "host/scene/hierarchy.h"

class BaseObject;

inline constexpr Int32 Tphong = 5612;
inline constexpr Int32 Tuvw = 5671;
inline constexpr Int32 Tsegment = 5672;
inline constexpr Int32 Tvertexcolor = 431000045;

// Phong tag settings.
inline constexpr Int32 PHONGTAG_PHONG_ANGLELIMIT = 1000;  // Bool: smooth only below the angle
inline constexpr Int32 PHONGTAG_PHONG_ANGLE = 1001;       // Float, radians

class BaseTag : public BaseList2D {
public:
  // A new tag of a fixed-size type (phong) or, for variable tags, with no entries; null
  // when the type is unknown or the allocation fails.
  static BaseTag* Alloc(Int32 type);
  static void Free(BaseTag*& tag);

  Int32 GetType() const override { return type_; }
  // The object the tag is attached to, or null.
  BaseObject* GetObject() const;
  BaseTag* GetNext() const { return static_cast<BaseTag*>(GeListNode::GetNext()); }
  BaseTag* GetPred() const { return static_cast<BaseTag*>(GeListNode::GetPred()); }
  // A copy of the tag with its container and data; null when it cannot be made.
  virtual BaseTag* GetClone(COPYFLAGS flags = COPYFLAGS::NONE) const;

protected:
  explicit BaseTag(Int32 type) : type_(type) {}

private:
  Int32 type_;
};

// A tag with `count` entries of `entrySize` bytes each.
class VariableTag : public BaseTag {
public:
  // A new variable tag of a known type (Tuvw, Tvertexcolor, Tsegment) with `count`
  // zeroed entries (vertex colours start white and opaque); null when the type is not a
  // variable tag, count is negative, or the allocation fails.
  static VariableTag* Alloc(Int32 type, Int32 count);

  Int32 GetDataCount() const { return count_; }
  // Bytes per entry.
  Int32 GetDataSize() const { return entrySize_; }
  // The entries as raw bytes, count * size.
  const void* GetLowlevelDataAddressR() const { return data_.data(); }
  void* GetLowlevelDataAddressW() { return data_.data(); }
  // Changes the number of entries, keeping the existing ones; false on failure.
  Bool Resize(Int32 count);

  BaseTag* GetClone(COPYFLAGS flags = COPYFLAGS::NONE) const override;

protected:
  VariableTag(Int32 type, Int32 entrySize) : BaseTag(type), entrySize_(entrySize) {}

private:
  Int32 count_ = 0;
  Int32 entrySize_ = 0;
  std::vector<unsigned char> data_;
};

// Texture coordinates, one entry per polygon: the four corners a, b, c, d.
struct UVWStruct {
  Vector a, b, c, d;
};

class UVWTag final : public VariableTag {
public:
  static UVWTag* Alloc(Int32 count);
  UVWStruct Get(Int32 polygon) const;       // zero outside the range
  void Set(Int32 polygon, const UVWStruct& uvw);  // ignored outside the range
  UVWStruct* GetDataAddressW() { return static_cast<UVWStruct*>(GetLowlevelDataAddressW()); }
  const UVWStruct* GetDataAddressR() const { return static_cast<const UVWStruct*>(GetLowlevelDataAddressR()); }

private:
  friend class VariableTag;
  UVWTag() : VariableTag(Tuvw, sizeof(UVWStruct)) {}
};

// One colour per point: r, g, b, a as single-precision floats.
struct ColorA32 {
  Float32 r = 1.0f, g = 1.0f, b = 1.0f, a = 1.0f;
};

class VertexColorTag final : public VariableTag {
public:
  static VertexColorTag* Alloc(Int32 count);
  ColorA32* GetDataAddressW() { return static_cast<ColorA32*>(GetLowlevelDataAddressW()); }
  const ColorA32* GetDataAddressR() const { return static_cast<const ColorA32*>(GetLowlevelDataAddressR()); }
  // Colours are stored per point.
  Bool IsPerPointColor() const { return true; }

private:
  friend class VariableTag;
  VertexColorTag() : VariableTag(Tvertexcolor, sizeof(ColorA32)) {}
};

// A spline segment: `cnt` points, open or closed.
struct Segment {
  Int32 cnt = 0;
  Bool closed = false;
};

class SegmentTag final : public VariableTag {
public:
  static SegmentTag* Alloc(Int32 count);
  Segment* GetDataAddressW() { return static_cast<Segment*>(GetLowlevelDataAddressW()); }
  const Segment* GetDataAddressR() const { return static_cast<const Segment*>(GetLowlevelDataAddressR()); }

private:
  friend class VariableTag;
  SegmentTag() : VariableTag(Tsegment, sizeof(Segment)) {}
};
