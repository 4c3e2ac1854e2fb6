// Sampling: bringing the plot's samples up to date in each evaluation pass, evaluating
// only when a value-changing parameter or (for a time formula) the frame changed.
#include <algorithm>
#include <cmath>
#include <utility>

#include "common/type_ids.h"
#include "host/core/formula.h"
#include "host/scene/execution.h"
#include "plot/formula_preparation.h"
#include "plot/parallel_rows.h"
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
      nonFiniteCount_.reset();  // rescaling can take a position beyond the range of doubles
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
      nonFiniteCount_.reset();
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
    // The heights only ever grow, left uninitialised (each is written before it is read),
    // so a recomputation of the same size touches no new memory.
    const auto total = static_cast<std::size_t>(side * side);
    if (heightsCapacity_ < total) {
      heights_.reset();
      heightsCapacity_ = 0;
      heights_.reset(new Float[total]);
      heightsCapacity_ = total;
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

namespace {

// Extremes of a block of samples, merged block after block in row order so that ties
// between 0 and -0 resolve as one pass over all samples would resolve them.
struct Extremes {
  Float lo = MAXVALUE_FLOAT;
  Float hi = -MAXVALUE_FLOAT;
  // The raw values' own extremes: v * b may leave the range of doubles where v does not.
  Float vLo = MAXVALUE_FLOAT;
  Float vHi = -MAXVALUE_FLOAT;
  Int64 undefined = 0;

  void Merge(const Extremes& o) {
    lo = std::min(lo, o.lo);
    hi = std::max(hi, o.hi);
    vLo = std::min(vLo, o.vLo);
    vHi = std::max(vHi, o.vHi);
    undefined += o.undefined;
  }
};

// How a value becomes a sample's height (before fitting), and what the extremes take.
struct HeightRule {
  Float b;
  Float scalePos;
  Float scaleNeg;
  Bool clip;
  Bool evaluate;

  // Nothing for a value stands for a sample whose formula had no value.
  Float Height(std::optional<Float> result, Extremes& e) const {
    const Float value = result.value_or(0.0);
    e.undefined += (evaluate && !result) ? 1 : 0;
    e.vLo = std::min(e.vLo, value);
    e.vHi = std::max(e.vHi, value);
    Float level = value * b;
    e.lo = std::min(e.lo, level);
    e.hi = std::max(e.hi, level);
    if (clip) {
      level = std::min(b, std::max(-b, level));
    }
    return level < 0.0 ? level * scaleNeg : level * scalePos;
  }
};

// The inputs a formula sees of each row's x and each column's z, and of the values that
// stay the same over the grid: the number each value's text reads as, worked out once per
// value instead of once per sample. Only the variables the formula uses can make a sample
// undefined.
struct CompiledInputs {
  std::vector<Float> rowX, columnZ;
  std::vector<char> rowDefined, columnDefined;
  VariableValues fixed{};
  Bool fixedDefined = true;

  CompiledInputs(const std::vector<VariableSlot>& slots, const std::vector<Float>& xs, const std::vector<Float>& zs,
                 const VariableValues& values) {
    std::array<Bool, 6> used{};
    for (const VariableSlot& slot : slots) {
      used[static_cast<std::size_t>(slot.letter)] = true;
    }
    for (std::size_t i = 0; i < fixed.size(); ++i) {
      const std::optional<Float> value = used[i] ? VariableTextValue(values[i]) : Float(0.0);
      fixed[i] = value.value_or(0.0);
      fixedDefined = fixedDefined && value.has_value();
    }
    Read(xs, used[1], rowX, rowDefined);
    Read(zs, used[2], columnZ, columnDefined);
  }

private:
  static void Read(const std::vector<Float>& inputs, Bool used, std::vector<Float>& out, std::vector<char>& defined) {
    out.assign(inputs.size(), 0.0);
    defined.assign(inputs.size(), 1);
    for (std::size_t i = 0; used && i < inputs.size(); ++i) {
      const std::optional<Float> value = VariableTextValue(inputs[i]);
      out[i] = value.value_or(0.0);
      defined[i] = value.has_value() ? 1 : 0;
    }
  }
};

// The values of the formula's calls on bare variables (see LiftVariableCalls), computed
// once per grid for the fixed variables, once per row for x and once per column for z
// rather than once per sample. The same function of the same number gives the same value,
// so the samples are what calling it in place would give.
struct LiftedInputs {
  std::vector<CompiledFormula::LiftedCall> calls;
  std::vector<Float> fixed;                // all inputs, the fixed calls' values filled in
  std::vector<std::size_t> rowCalls;       // calls of x
  std::vector<std::size_t> columnInputs;   // the inputs of the calls of z ...
  std::vector<Float> columnValues;         // ... and their values, call after call

  LiftedInputs(std::vector<CompiledFormula::LiftedCall> lifted, const CompiledInputs& inputs)
      : calls(std::move(lifted)) {
    fixed.assign(kVariableCount + calls.size(), 0.0);
    std::copy(inputs.fixed.begin(), inputs.fixed.end(), fixed.begin());
    for (std::size_t k = 0; k < calls.size(); ++k) {
      const CompiledFormula::LiftedCall& call = calls[k];
      if (static_cast<std::size_t>(call.variable) == kRowVariable) {
        rowCalls.push_back(k);
      } else if (static_cast<std::size_t>(call.variable) == kColumnVariable) {
        columnInputs.push_back(kVariableCount + k);
        for (const Float z : inputs.columnZ) {
          columnValues.push_back(call.Of(z));
        }
      } else {
        fixed[kVariableCount + k] = call.Of(inputs.fixed[static_cast<std::size_t>(call.variable)]);
      }
    }
  }

  void FillRow(std::vector<Float>& variables, Float x) const {
    variables[kRowVariable] = x;
    for (const std::size_t k : rowCalls) {
      variables[kVariableCount + k] = calls[k].Of(x);
    }
  }
};

}  // namespace

Bool SurfoObject::ComputeGrid(const BaseContainer& bc, BaseDocument* doc, const BaseTime& time, Int32 fps,
                              Int32 frame) {
  const Int32 n = plot_.resolution;
  const Int64 w = static_cast<Int64>(n) + 1;
  const Float b = params_.halfHeight;
  const Float cell = params_.size / n;
  const Float xStep = (params_.xMax - params_.xMin) / n;
  const Float zStep = (params_.zMax - params_.zMin) / n;

  plot_.minValue = plot_.maxValue = 0.0;
  nonFiniteCount_.reset();

  // The grid runs from -S/2 to +S/2 around the origin: an odd count of positions has one
  // at the centre, an even count is offset by half a cell.
  const Int64 half = w / 2;
  const Int64 first = (w % 2 == 1) ? -half : 1 - half;
  const Float offset = (w % 2 == 1) ? 0.0 : cell / 2.0;

  // Read once: nothing writes the container while the grid is computed.
  const Bool useZRange = bc.GetBool(SURFO_USEZRANGE);
  const String& formula = params_.formula;
  std::vector<Float> xs(static_cast<std::size_t>(w)), zs(static_cast<std::size_t>(w));
  std::vector<Float> positions(static_cast<std::size_t>(w));
  for (Int64 i = 0; i < w; ++i) {
    const auto k = static_cast<std::size_t>(i);
    xs[k] = params_.xMin + static_cast<Float>(i) * xStep;
    zs[k] = useZRange ? params_.zMin + static_cast<Float>(i) * zStep : params_.xMin + static_cast<Float>(i) * xStep;
    positions[k] = static_cast<Float>(first + i) * cell - offset;
  }

  // A formula is checked once, with its variables read as numbers: pasting values into a
  // malformed text can make some samples evaluate by accident, so such a formula has no
  // value anywhere.
  const std::vector<VariableSlot> slots = formula.IsPopulated() ? FindVariableSlots(formula) : std::vector<VariableSlot>();
  formulaError_ = formula.IsPopulated() ? CheckFormula(formula, slots) : std::nullopt;
  if (formulaError_) {
    plot_.usesTime = SlotsUseTime(slots);
  }
  const Bool evaluate = formula.IsPopulated() && !formulaError_;
  // Read once and evaluated many times; the text is only filled in where it cannot be.
  std::optional<CompiledFormula> compiled = evaluate && !evaluateAsText_ ? CompileFormula(formula, slots) : std::nullopt;
  samplingPath_ = !evaluate ? SamplingPath::kNone : (compiled ? SamplingPath::kCompiled : SamplingPath::kText);
  if (compiled) {
    plot_.usesTime = SlotsUseTime(slots);  // what filling in any sample's text would set
  }

  const VariableValues values{time.Get(), 0.0, 0.0, static_cast<Float>(n), b, static_cast<Float>(frame)};
  const Int32 heightMode = params_.heightMode;
  // Every height is written exactly once below (ReserveGrid made room).
  Float* const heights = heights_.get();
  const HeightRule rule{b, params_.scalePos, params_.scaleNeg, heightMode == SURFO_HEIGHTMODE_CLIP, evaluate};

  Extremes extremes;
  if (compiled) {
    const CompiledInputs inputs(slots, xs, zs, values);
    const LiftedInputs lifted(compiled->LiftVariableCalls(static_cast<Int32>(kVariableCount)), inputs);
    std::vector<Extremes> parts(static_cast<std::size_t>(MaxRowParts()));
    const Int64 used = RunRowsInParallel(w, w, MaxRowParts(), [&](Int64 part, Int64 rowBegin, Int64 rowEnd) {
      // Locals, so that the loop keeps them in registers rather than reloading them after
      // every store.
      const HeightRule local = rule;
      Extremes e;
      std::vector<Float> variables = lifted.fixed;
      Float* const inputsOfSample = variables.data();
      const Float* const columnZ = inputs.columnZ.data();
      const char* const columnDefined = inputs.columnDefined.data();
      const std::size_t columnCalls = lifted.columnInputs.size();
      for (Int64 r = rowBegin; r < rowEnd; ++r) {
        lifted.FillRow(variables, inputs.rowX[static_cast<std::size_t>(r)]);
        const Bool rowDefined = inputs.fixedDefined && inputs.rowDefined[static_cast<std::size_t>(r)] != 0;
        Float* const row = heights + r * w;
        for (Int64 c = 0; c < w; ++c) {
          inputsOfSample[kColumnVariable] = columnZ[c];
          for (std::size_t k = 0; k < columnCalls; ++k) {
            inputsOfSample[lifted.columnInputs[k]] = lifted.columnValues[k * static_cast<std::size_t>(w) + c];
          }
          Float value = 0.0;
          const Bool defined = rowDefined && columnDefined[c] != 0 && compiled->Evaluate(inputsOfSample, value);
          row[c] = local.Height(defined ? std::optional<Float>(value) : std::nullopt, e);
        }
      }
      parts[static_cast<std::size_t>(part)] = e;
    });
    for (Int64 part = 0; part < used; ++part) {
      extremes.Merge(parts[static_cast<std::size_t>(part)]);
    }
    CountFormulaEvaluations(w * w, extremes.undefined);
  } else {
    // The text path: the reference the compiled one must match, and the way for formulas
    // that cannot be compiled. It prepares and evaluates each sample's text in order.
    VariableValues variables = values;
    for (Int64 r = 0; r < w; ++r) {
      variables[1] = xs[static_cast<std::size_t>(r)];
      for (Int64 c = 0; c < w; ++c) {
        variables[2] = zs[static_cast<std::size_t>(c)];
        heights[r * w + c] = rule.Height(
            evaluate ? EvaluateFilledText(formula, slots, variables, fps, plot_.usesTime) : std::optional<Float>(0.0),
            extremes);
      }
    }
  }
  undefinedSamples_ = formulaError_ ? w * w : extremes.undefined;

  // Colours follow the final heights, in sample order, after fitting under FIT; a sample
  // whose colour is not computed keeps the one before it. The samples are appended in the
  // same order, up to the first that cannot be coloured.
  const std::optional<Float> fit =
      heightMode == SURFO_HEIGHTMODE_FIT ? FitFactor(extremes.lo, extremes.hi) : std::nullopt;
  SampleColouring colouring(params_.colorMode, params_.color, bc.GetCustomData<Gradient>(SURFO_GRADIENT), b,
                            params_.gradientAbs, doc);
  for (Int64 r = 0; r < w; ++r) {
    const Float px = positions[static_cast<std::size_t>(r)];
    for (Int64 c = 0; c < w; ++c) {
      const Float y = fit ? heights[r * w + c] * *fit : heights[r * w + c];
      if (!colouring.Next(y)) {
        return false;
      }
      plot_.samples.push_back(PlotSample{Vector(px, y, positions[static_cast<std::size_t>(c)]), colouring.Colour()});
    }
  }
  if (b > 0.0) {
    plot_.minValue = extremes.vLo;
    plot_.maxValue = extremes.vHi;
  }
  return true;
}

std::optional<Float> SurfoObject::FitFactor(Float lo, Float hi) const {
  // The extreme of larger magnitude, the high one on a tie; only ever shrinks.
  const Float b = params_.halfHeight;
  const Float extreme = std::abs(hi) < std::abs(lo) ? lo : hi;
  if (std::abs(extreme) > b && extreme != 0.0) {
    return b / std::abs(extreme);
  }
  return std::nullopt;
}

void SurfoObject::EmptySamples() {
  plot_.samples.clear();
  nonFiniteCount_.reset();
  formulaError_.reset();
  undefinedSamples_ = 0;
  samplingPath_ = SamplingPath::kNone;
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
