// Sampling: bringing the plot's samples up to date in each evaluation pass, evaluating
// only when a value-changing parameter or (for a time formula) the frame changed.
#include <algorithm>
#include <cmath>
#include <utility>

#include "common/type_ids.h"
#include "host/core/formula.h"
#include "host/scene/execution.h"
#include "plot/formula_preparation.h"
#include "plot/surfo_object.h"

namespace vantelle {

namespace {

// Gradient position of a height: across the whole range, or by magnitude.
Float GradientPosition(Float y, Float b, Bool byMagnitude) {
  if (byMagnitude) {
    return b > 0.0 ? std::abs(y) / b : 0.0;
  }
  return b > 0.0 ? (y + b) / (2.0 * b) : 0.5;
}

// The colour rules of a computation and of a recolouring, in one place so that the two
// always agree. Samples are coloured in order; one whose colour is not computed (no
// gradient to take it from) keeps the colour of the sample before it.
class SampleColouring {
public:
  SampleColouring(Int32 mode, const Vector& single, const Gradient* gradient, Float b, Bool byMagnitude,
                  BaseDocument* doc)
      : colour_(mode == SURFO_COLORMODE_SINGLE ? single : Vector(1.0, 1.0, 1.0)),
        gradient_(mode == SURFO_COLORMODE_GRADIENT ? gradient : nullptr),
        b_(b),
        byMagnitude_(byMagnitude),
        doc_(doc) {}

  // The colour of a sample at height y; false when the gradient cannot be prepared.
  Bool Next(Float y) {
    if (gradient_ == nullptr) {
      return true;
    }
    GradientRenderData render;
    if (!gradient_->PrepareRenderData(InitRenderStruct(doc_), render)) {
      return false;
    }
    const Float position = std::clamp(GradientPosition(y, b_, byMagnitude_), 0.0, 1.0);
    colour_ = render.IsEmpty() ? Vector() : render.CalcGradientPixel(position);
    return true;
  }
  const Vector& Colour() const { return colour_; }

private:
  Vector colour_;
  const Gradient* gradient_;
  Float b_;
  Bool byMagnitude_;
  BaseDocument* doc_;
};

// Colours the samples in order by their heights; the index of the first sample that could
// not be coloured, or the count when all were.
std::size_t ColourSamples(std::vector<PlotSample>& samples, SampleColouring& colouring) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (!colouring.Next(samples[i].position.y)) {
      return i;
    }
    samples[i].colour = colouring.Colour();
  }
  return samples.size();
}

// Multiplies one coordinate of every sample.
template <Float Vector::*axis>
void ScaleAll(std::vector<PlotSample>& samples, Float factor) {
  for (PlotSample& s : samples) {
    s.position.*axis *= factor;
  }
}

}  // namespace

Bool SurfoObject::AddToExecution(BaseObject* op, PriorityList* list) {
  if (list != nullptr) {
    list->Add(op, EXECUTIONPRIORITY_GENERATOR, EXECUTIONFLAGS::NONE);
  }
  return true;
}

BaseObject* SurfoObject::GetVirtualObjects(BaseObject* /*op*/, const HierarchyHelp* /*hh*/) {
  return BaseObject::Alloc(Onull);
}

Bool SurfoObject::ApplyHeightAndSizeChanges() {
  // A change from a positive value rescales the stored samples. From any other value
  // (0, or a negative one a saved scene may hold) the samples cannot be rescaled and are
  // computed afresh, so they never stay scaled for the old value.
  Bool rescaled = false;
  const Float b = params_.halfHeight;
  if (b != previousHalfHeight_) {
    if (previousHalfHeight_ > 0.0 && !plot_.samples.empty()) {
      ScaleAll<&Vector::y>(plot_.samples, b / previousHalfHeight_);
      EventAdd(EVENT::FORCEREDRAW);
      rescaled = true;
    } else {
      EmptySamples();
    }
    previousHalfHeight_ = b;
  }
  const Float size = params_.size;
  if (size != previousSize_) {
    if (previousSize_ > 0.0 && !plot_.samples.empty()) {
      const Float factor = size / previousSize_;
      ScaleAll<&Vector::x>(plot_.samples, factor);
      ScaleAll<&Vector::z>(plot_.samples, factor);
      EventAdd(EVENT::FORCEREDRAW);
      rescaled = true;
    } else {
      EmptySamples();
    }
    previousSize_ = size;
  }
  return rescaled;
}

void SurfoObject::CompareSamplingSnapshot() {
  const SamplingSnapshot current{params_.scalePos, params_.scaleNeg, params_.xMax,       params_.xMin,
                                 params_.zMax,     params_.zMin,     params_.useZRange,  params_.heightMode,
                                 plot_.resolution, params_.formula};
  const SamplingSnapshot& s = sampled_;
  const bool same = s.resolution == current.resolution && s.scalePos == current.scalePos &&
                    s.scaleNeg == current.scaleNeg && s.heightMode == current.heightMode &&
                    s.formula == current.formula && s.xMax == current.xMax && s.xMin == current.xMin &&
                    s.zMax == current.zMax && s.zMin == current.zMin && s.useZRange == current.useZRange;
  if (!same) {
    EmptySamples();
    sampled_ = current;
  }
}

EXECUTIONRESULT SurfoObject::Execute(BaseObject* op, BaseDocument* doc, BaseThread* /*bt*/, Int32 /*priority*/,
                                     EXECUTIONFLAGS /*flags*/) {
  if (op == nullptr) {
    return EXECUTIONRESULT::OK;
  }
  const BaseContainer& bc = *op->GetDataInstance();
  if (!op->GetDeformMode()) {
    return EXECUTIONRESULT::OK;
  }
  const Bool hadSamples = !plot_.samples.empty();
  ReadParameters(bc);
  const Bool rescaled = ApplyHeightAndSizeChanges();
  CompareSamplingSnapshot();

  const Int32 fps = doc != nullptr ? doc->GetFps() : 0;
  const BaseTime time = doc != nullptr ? doc->GetTime() : BaseTime();
  const Int32 frame = time.GetFrame(fps);
  if (params_.animate && frame != lastFrame_ && FormulaUsesTime(sampled_.formula)) {
    EmptySamples();
  }
  lastFrame_ = frame;

  // Stored samples that were rescaled or recoloured are a change components must see.
  const Bool recolour = std::exchange(recolourPending_, false);
  if (!plot_.samples.empty()) {
    if (recolour) {
      Recolour(bc, op, doc);
    } else if (rescaled) {
      op->Message(MSG_UPDATE);
    }
    return EXECUTIONRESULT::OK;
  }
  // Below one cell per side there is no grid, and a grid larger than memory can hold (a
  // resolution no description allows, from a script or a saved scene) is not started:
  // either way the plot holds no samples, and says so once.
  if (plot_.resolution < 1 || !ReserveGrid()) {
    plot_.minValue = plot_.maxValue = 0.0;
    formulaError_.reset();
    if (hadSamples) {
      op->Message(MSG_UPDATE);
      EventAdd(EVENT::FORCEREDRAW);
    }
    return EXECUTIONRESULT::OK;
  }
  if (!ComputeGrid(bc, doc, time, fps, frame)) {
    return EXECUTIONRESULT::OUTOFMEMORY;
  }
  if (BaseObject* labels = FindComponent(op, Osurfolabel)) {
    DescriptionCommand command{DescID(SURFOLABEL_UPDATE)};
    labels->Message(MSG_DESCRIPTION_COMMAND, &command);
  }
  op->Message(MSG_UPDATE);
  EventAdd(EVENT::FORCEREDRAW);
  return EXECUTIONRESULT::OK;
}

Bool SurfoObject::ReserveGrid() {
  const Int64 side = static_cast<Int64>(plot_.resolution) + 1;
  try {
    plot_.samples.reserve(static_cast<std::size_t>(side * side));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

Bool SurfoObject::ComputeGrid(const BaseContainer& bc, BaseDocument* doc, const BaseTime& time, Int32 fps,
                              Int32 frame) {
  const Int32 n = plot_.resolution;
  const Int64 w = static_cast<Int64>(n) + 1;
  const Float b = params_.halfHeight;
  const Float cell = params_.size / n;
  const Float xStep = (params_.xMax - params_.xMin) / n;
  const Float zStep = (params_.zMax - params_.zMin) / n;

  plot_.minValue = plot_.maxValue = 0.0;
  Float lo = MAXVALUE_FLOAT;
  Float hi = -MAXVALUE_FLOAT;
  // The raw values' own extremes: v * b may leave the range of doubles where v does not.
  Float vLo = MAXVALUE_FLOAT;
  Float vHi = -MAXVALUE_FLOAT;

  // The grid runs from -S/2 to +S/2 around the origin: an odd count of positions has one
  // at the centre, an even count is offset by half a cell.
  const Int64 half = w / 2;
  const Int64 first = (w % 2 == 1) ? -half : 1 - half;
  const Float offset = (w % 2 == 1) ? 0.0 : cell / 2.0;

  // Read once: nothing writes the container while the grid is computed.
  const Bool useZRange = bc.GetBool(SURFO_USEZRANGE);
  SampleColouring colouring(params_.colorMode, params_.color, bc.GetCustomData<Gradient>(SURFO_GRADIENT), b,
                            params_.gradientAbs, doc);
  const Float seconds = time.Get();
  const String& formula = params_.formula;

  // A formula is checked once, with its variables read as numbers: pasting values into a
  // malformed text can make some samples evaluate by accident, so such a formula has no
  // value anywhere.
  const std::vector<VariableSlot> slots = formula.IsPopulated() ? FindVariableSlots(formula) : std::vector<VariableSlot>();
  formulaError_ = formula.IsPopulated() ? CheckFormula(formula, slots) : std::nullopt;
  if (formulaError_) {
    plot_.usesTime = SlotsUseTime(slots);
  }
  const Bool evaluate = formula.IsPopulated() && !formulaError_;
  undefinedSamples_ = formulaError_ ? w * w : 0;

  // Under FIT the heights are final only after fitting, and colours follow them there.
  const Bool colourAfterFit = params_.heightMode == SURFO_HEIGHTMODE_FIT;
  VariableValues values{seconds, 0.0, 0.0, static_cast<Float>(n), b, static_cast<Float>(frame)};
  for (Int64 r = 0; r < w; ++r) {
    const Float x = params_.xMin + static_cast<Float>(r) * xStep;
    const Float px = static_cast<Float>(first + r) * cell - offset;
    for (Int64 c = 0; c < w; ++c) {
      const Float z = useZRange ? params_.zMin + static_cast<Float>(c) * zStep
                                : params_.xMin + static_cast<Float>(c) * xStep;
      Float value = 0.0;
      if (evaluate) {
        values[1] = x;
        values[2] = z;
        const GeData result = StringToNumber(FillVariables(formula, slots, values, plot_.usesTime), FORMAT_FLOAT, fps);
        undefinedSamples_ += result.IsNil() ? 1 : 0;
        value = result.GetFloat();
      }
      vLo = std::min(vLo, value);
      vHi = std::max(vHi, value);
      Float level = value * b;
      lo = std::min(lo, level);
      hi = std::max(hi, level);
      if (params_.heightMode == SURFO_HEIGHTMODE_CLIP) {
        level = std::min(b, std::max(-b, level));
      }
      const Float y = level < 0.0 ? level * params_.scaleNeg : level * params_.scalePos;
      if (!colourAfterFit && !colouring.Next(y)) {
        return false;
      }
      plot_.samples.push_back(
          PlotSample{Vector(px, y, static_cast<Float>(first + c) * cell - offset), colouring.Colour()});
    }
  }
  if (colourAfterFit) {
    FitHeights(lo, hi);
    const std::size_t coloured = ColourSamples(plot_.samples, colouring);
    if (coloured < plot_.samples.size()) {
      plot_.samples.resize(coloured);  // as when colouring fails while sampling
      return false;
    }
  }
  if (b > 0.0) {
    plot_.minValue = vLo;
    plot_.maxValue = vHi;
  }
  return true;
}

void SurfoObject::FitHeights(Float lo, Float hi) {
  // The extreme of larger magnitude, the high one on a tie; only ever shrinks.
  const Float b = params_.halfHeight;
  const Float extreme = std::abs(hi) < std::abs(lo) ? lo : hi;
  if (std::abs(extreme) > b && extreme != 0.0) {
    const Float factor = b / std::abs(extreme);
    ScaleAll<&Vector::y>(plot_.samples, factor);
  }
}

void SurfoObject::EmptySamples() {
  plot_.samples.clear();
  formulaError_.reset();
  undefinedSamples_ = 0;
}

void SurfoObject::Recolour(const BaseContainer& bc, BaseObject* op, BaseDocument* doc) {
  // Heights are taken in the plot's own space, as a computation colours them.
  SampleColouring colouring(bc.GetInt32(SURFO_COLORMODE), bc.GetVector(SURFO_COLOR),
                            bc.GetCustomData<Gradient>(SURFO_GRADIENT), bc.GetFloat(SURFO_HEIGHT) * 0.5,
                            bc.GetBool(SURFO_GRADIENTABS), doc);
  ColourSamples(plot_.samples, colouring);
  if (op != nullptr && !plot_.samples.empty()) {
    op->Message(MSG_UPDATE);
  }
}

}  // namespace vantelle
