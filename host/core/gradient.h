// The host's colour gradient custom data type: knots of colour along 0..1.
#pragma once

#include <memory>
#include <vector>

#include "host/core/container.h"

class BaseDocument;

inline constexpr Int32 GRADIENT_INTERPOLATION_CUBIC = 0;
inline constexpr Int32 GRADIENT_INTERPOLATION_CUBICBIAS = 1;
inline constexpr Int32 GRADIENT_INTERPOLATION_SMOOTH = 2;
inline constexpr Int32 GRADIENT_INTERPOLATION_LINEAR = 3;
inline constexpr Int32 GRADIENT_INTERPOLATION_NONE = 5;

// The most knots a gradient holds.
inline constexpr Int32 GRADIENT_MAX_KNOTS = 10000;

// Setting IDs of a gradient (its own small container).
inline constexpr Int32 GRADIENT_MODE = 1002;

struct GradientKnot {
  Vector col;               // colour, components nominally 0..1
  Float brightness = 1.0;   // multiplies the colour
  Float pos = 0.0;          // position 0..1
  Float bias = 0.5;         // where between this knot and the next the blend is half-way
  Int32 index = 0;
  Int32 interpolation = GRADIENT_INTERPOLATION_SMOOTH;  // blend from this knot to the next
  bool operator==(const GradientKnot&) const = default;
};

// What the render preparation needs to know about the scene.
struct InitRenderStruct {
  explicit InitRenderStruct(BaseDocument* document = nullptr) : doc(document) {}
  BaseDocument* doc = nullptr;
};

class Gradient;

// Prepared colour lookup of a gradient. Valid while the gradient it came from lives and
// is not changed. Empty when the gradient has no knots.
class GradientRenderData {
public:
  Bool IsEmpty() const { return gradient_ == nullptr; }
  // The colour at `pos` (clamped to 0..1); black when empty.
  Vector CalcGradientPixel(Float pos) const;

private:
  friend class Gradient;
  const Gradient* gradient_ = nullptr;
};

class Gradient final : public CustomDataType {
public:
  static constexpr Int32 TYPE_ID = CUSTOMDATATYPE_GRADIENT;

  // A new empty gradient, or null when it cannot be allocated.
  static std::unique_ptr<Gradient> Alloc();

  Int32 GetCustomDataTypeId() const override { return TYPE_ID; }
  std::unique_ptr<CustomDataType> Clone() const override { return std::make_unique<Gradient>(*this); }
  Bool IsEqual(const CustomDataType& other) const override;

  // Adds a knot and returns its index in insertion order, or -1 when the gradient already
  // holds GRADIENT_MAX_KNOTS.
  Int32 InsertKnot(const GradientKnot& knot);
  Int32 GetKnotCount() const { return static_cast<Int32>(knots_.size()); }
  // The knot at `index`, or a default knot outside the range.
  GradientKnot GetKnot(Int32 index) const;
  void SetKnot(Int32 index, const GradientKnot& knot);
  void FlushKnots();

  Bool SetData(Int32 id, const GeData& data);
  GeData GetData(Int32 id) const { return settings_.GetData(id); }
  const BaseContainer& GetSettings() const { return settings_; }

  // The colour at `pos` (clamped to 0..1), brightness applied; black without knots.
  // Logarithmic in the knot count.
  Vector GetColorAt(Float pos) const;

  // Prepares the colour lookup for rendering. Returns false when the preparation fails;
  // on success `out` is empty exactly when the gradient has no knots.
  Bool PrepareRenderData(const InitRenderStruct& irs, GradientRenderData& out) const;

private:
  // The knots by position, sorted when first needed after a change, so that inserting n
  // knots one by one costs n log n rather than n sorts.
  // Inline: every colour lookup asks, and the knots are nearly always sorted already.
  const std::vector<GradientKnot>& Sorted() const { return sortedValid_ ? sorted_ : SortKnots(); }
  const std::vector<GradientKnot>& SortKnots() const;

  std::vector<GradientKnot> knots_;  // insertion order
  mutable std::vector<GradientKnot> sorted_;
  mutable bool sortedValid_ = true;
  BaseContainer settings_;
};
