#include "host/core/gradient.h"

#include <algorithm>
#include <cmath>

#include "host/core/faults.h"

namespace {

// Reshapes t so that t = bias maps to 0.5 (0.5 leaves t unchanged).
Float ApplyBias(Float t, Float bias) {
  if (bias <= 0.0 || bias >= 1.0 || bias == 0.5) {
    return t;
  }
  return std::pow(t, std::log(0.5) / std::log(bias));
}

Float Blend(Float t, Int32 interpolation) {
  switch (interpolation) {
    case GRADIENT_INTERPOLATION_NONE: return 0.0;
    case GRADIENT_INTERPOLATION_LINEAR: return t;
    default: return t * t * (3.0 - 2.0 * t);  // smooth: flat at both knots
  }
}

}  // namespace

std::unique_ptr<Gradient> Gradient::Alloc() {
  if (HostFaultTriggered(HostFault::GRADIENT_ALLOC)) {
    return nullptr;
  }
  return std::make_unique<Gradient>();
}

Bool Gradient::IsEqual(const CustomDataType& other) const {
  const auto* g = dynamic_cast<const Gradient*>(&other);
  return g != nullptr && knots_ == g->knots_ && settings_ == g->settings_;
}

Int32 Gradient::InsertKnot(const GradientKnot& knot) {
  if (GetKnotCount() >= GRADIENT_MAX_KNOTS) {
    return -1;
  }
  knots_.push_back(knot);
  sortedValid_ = false;
  return GetKnotCount() - 1;
}

GradientKnot Gradient::GetKnot(Int32 index) const {
  if (index < 0 || index >= GetKnotCount()) {
    return GradientKnot{};
  }
  return knots_[static_cast<std::size_t>(index)];
}

void Gradient::SetKnot(Int32 index, const GradientKnot& knot) {
  if (index < 0 || index >= GetKnotCount()) {
    return;
  }
  knots_[static_cast<std::size_t>(index)] = knot;
  sortedValid_ = false;
}

void Gradient::FlushKnots() {
  knots_.clear();
  sorted_.clear();
  sortedValid_ = true;
}

Bool Gradient::SetData(Int32 id, const GeData& data) {
  settings_.SetData(id, data);
  return true;
}

const std::vector<GradientKnot>& Gradient::SortKnots() const {
  sorted_ = knots_;
  // Stable, so knots at the same position keep their insertion order.
  std::stable_sort(sorted_.begin(), sorted_.end(),
                   [](const GradientKnot& a, const GradientKnot& b) { return a.pos < b.pos; });
  sortedValid_ = true;
  return sorted_;
}

Vector Gradient::GetColorAt(Float pos) const {
  const std::vector<GradientKnot>& sorted = Sorted();
  if (sorted.empty()) {
    return Vector();
  }
  const Float p = std::isnan(pos) ? 0.0 : std::clamp(pos, 0.0, 1.0);
  const GradientKnot& first = sorted.front();
  if (p <= first.pos) {
    return first.col * first.brightness;
  }
  // The first knot beyond p ends the span p lies in; knots sharing a position make a step.
  const auto next = std::upper_bound(sorted.begin(), sorted.end(), p,
                                     [](Float value, const GradientKnot& knot) { return value < knot.pos; });
  if (next == sorted.end()) {
    const GradientKnot& last = sorted.back();
    return last.col * last.brightness;
  }
  const GradientKnot& a = *(next - 1);
  const GradientKnot& b = *next;
  const Float span = b.pos - a.pos;
  const Float t = span > 0.0 ? (p - a.pos) / span : 1.0;
  const Float s = Blend(ApplyBias(t, a.bias), a.interpolation);
  const Vector ca = a.col * a.brightness;
  const Vector cb = b.col * b.brightness;
  return ca + (cb - ca) * s;
}

Bool Gradient::PrepareRenderData(const InitRenderStruct& /*irs*/, GradientRenderData& out) const {
  out.gradient_ = nullptr;
  if (HostFaultTriggered(HostFault::GRADIENT_RENDER)) {
    return false;
  }
  if (!knots_.empty()) {
    Sorted();  // once here rather than on the first lookup
    out.gradient_ = this;
  }
  return true;
}

Vector GradientRenderData::CalcGradientPixel(Float pos) const {
  return gradient_ != nullptr ? gradient_->GetColorAt(pos) : Vector();
}
