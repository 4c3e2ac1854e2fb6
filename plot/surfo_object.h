// The plot object: a generator that samples y = f(x, z) over a square grid and keeps the
// samples for its components.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "host/core/formula.h"
#include "host/scene/objects.h"
#include "plot/samples.h"
#include "plot/surfo_parameters.h"

namespace vantelle {

// The values the current samples were computed with; a difference means recomputing.
struct SamplingSnapshot {
  Float scalePos = 0.0;
  Float scaleNeg = 0.0;
  Float xMax = 0.0;
  Float xMin = 0.0;
  Float zMax = 0.0;
  Float zMin = 0.0;
  Bool useZRange = false;
  Int32 heightMode = 0;
  Int32 resolution = 0;
  String formula;
};

// How the last computation evaluated the formula: not at all (no formula, or one that
// cannot be read), compiled once for every sample, or sample by sample as text.
enum class SamplingPath { kNone, kCompiled, kText };

class SurfoObject final : public ObjectData {
public:
  // A new instance with every field zero, or null when memory runs out.
  static NodeData* Alloc();

  Bool Init(GeListNode* node) override;
  void Free(GeListNode* node) override;
  Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
              AliasTrans* trn) override;
  Bool GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const override;
  Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                    const BaseContainer* itemdesc) const override;

  EXECUTIONRESULT Execute(BaseObject* op, BaseDocument* doc, BaseThread* bt, Int32 priority,
                          EXECUTIONFLAGS flags) override;
  Bool AddToExecution(BaseObject* op, PriorityList* list) override;
  // The plot builds no geometry of its own: a new empty null on every call.
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) override;
  Bool Message(GeListNode* node, Int32 type, void* data) override;

  // Bounds, handles and drawing in the viewport.
  void GetDimension(const BaseObject* op, Vector* mp, Vector* rad) const override;
  Int32 GetHandleCount(const BaseObject* op) const override;
  void GetHandle(BaseObject* op, Int32 i, HandleInfo& info) override;
  void SetHandle(BaseObject* op, Int32 i, Vector p, const HandleInfo& info) override;
  DRAWRESULT Draw(BaseObject* op, DRAWPASS drawpass, BaseDraw* bd, BaseDrawHelp* bh) override;

  // Refreshes every parameter copy from the container.
  void ReadParameters(const BaseContainer& bc);
  // Recomputes the stored samples' colours from their heights, without evaluating.
  void Recolour(const BaseContainer& bc, BaseObject* op, BaseDocument* doc);

  // What the components read.
  const PlotSamples& GetPlotSamples() const { return plot_; }
  Int32 GetResolution() const { return plot_.resolution; }
  Float GetMinValue() const { return plot_.minValue; }
  Float GetMaxValue() const { return plot_.maxValue; }
  Bool UsesTime() const { return plot_.usesTime; }
  const std::vector<PlotSample>& GetSamples() const { return plot_.samples; }

  const PlotParameters& GetParameters() const { return params_; }
  Int32 GetLastFrame() const { return lastFrame_; }
  // What the last computation found wrong with the formula's syntax; then no sample has a
  // value.
  const std::optional<FormulaError>& GetFormulaError() const { return formulaError_; }
  // Samples of the last computation whose formula text had no value (plotted at 0).
  Int64 GetUndefinedSampleCount() const { return undefinedSamples_; }
  SamplingPath GetSamplingPath() const { return samplingPath_; }
  // Evaluates every sample of later computations by filling in its text, the reference
  // way that compiled evaluation matches; for comparisons and measurements.
  void SetEvaluateAsText(Bool asText) { evaluateAsText_ = asText; }

private:
  friend class SurfoObjectTestAccess;  // lets tests stage sampling state directly

  // Steps of Execute. Whether the stored samples were rescaled.
  Bool ApplyHeightAndSizeChanges();
  void CompareSamplingSnapshot();
  // Room for the whole grid; false when it cannot be had.
  Bool ReserveGrid();
  // Evaluates the whole grid; false when the gradient cannot be prepared.
  Bool ComputeGrid(const BaseContainer& bc, BaseDocument* doc, const BaseTime& time, Int32 fps, Int32 frame);
  // The factor that fits the heights into the plot's height, when they need one.
  std::optional<Float> FitFactor(Float lo, Float hi) const;
  // Runs the defaults on the instance and the container (reset).
  void Reset(BaseContainer& bc);
  void ApplyPreset(BaseContainer& bc);
  // The component command: inserts a new component of the chosen kind as first child.
  void AddComponent(BaseObject* op);
  void OpenManual();
  void EmptySamples();
  // Fills the state query of the host.
  void DescribeState(BaseContainer& state) const;

  Int32 lastFrame_ = 0;
  Float previousSize_ = 0.0;
  Float previousHalfHeight_ = 0.0;
  SamplingSnapshot sampled_;
  PlotParameters params_;  // params_.resolution mirrors plot_.resolution
  PlotSamples plot_;
  Bool recolourPending_ = false;  // a reset changed the colour settings of stored samples
  std::optional<FormulaError> formulaError_;
  Int64 undefinedSamples_ = 0;
  // The samples whose positions are not finite; nothing until asked after a change of them.
  mutable std::optional<Int64> nonFiniteCount_;
  SamplingPath samplingPath_ = SamplingPath::kNone;
  Bool evaluateAsText_ = false;
  // The heights of a computation before they become samples; room for heightsCapacity_.
  std::unique_ptr<Float[]> heights_;
  std::size_t heightsCapacity_ = 0;
};

}  // namespace vantelle
