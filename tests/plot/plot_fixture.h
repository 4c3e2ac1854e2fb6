// A document with one plot object, the plot type registered from this build's code.
#pragma once

#include <gtest/gtest.h>

#include "cage/surfo_cage.h"
#include "common/type_ids.h"
#include "grid/surfo_grid.h"
#include "host/core/faults.h"
#include "host/core/formula.h"
#include "host/scene/execution.h"
#include "host/scene/registry.h"
#include "labels/surfo_label.h"
#include "mesh/surfo_mesh.h"
#include "plot/surfo_object.h"

namespace vantelle {

class PlotFixture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    AddModuleResourceFolder(Filename(VANTELLE_SOURCE_DIR "/res"));
    RegisterObjectPlugin(Osurfo, String("Plot"), 0x8104, SurfoObject::Alloc, String("osurfo"), nullptr, 0);
  }
  // For suites whose plots get components.
  static void RegisterMesh() {
    RegisterObjectPlugin(Osurfomesh, String("Mesh"), 0x10008504, SurfoMesh::Alloc, String("osurfomesh"), nullptr, 0);
  }
  static void RegisterSplineComponents() {
    RegisterObjectPlugin(Osurfogrid, String("Grid"), 0x10008084, SurfoGrid::Alloc, String("osurfogrid"), nullptr, 0);
    RegisterObjectPlugin(Osurfocage, String("Cage"), 0x10008084, SurfoCage::Alloc, String("osurfocage"), nullptr, 0);
  }
  static void RegisterLabels() {
    RegisterObjectPlugin(Osurfolabel, String("Labels"), 0x10008004, SurfoLabel::Alloc, String("osurfolabel"), nullptr,
                         0);
  }
  static void TearDownTestSuite() {
    FreeObjectPlugins();
    ForgetModuleResourceFolders();
  }
  void SetUp() override {
    doc = BaseDocument::Alloc();
    op = BaseObject::Alloc(Osurfo);
    ASSERT_NE(op, nullptr);
    doc->InsertObject(op, nullptr, nullptr);
    plot = op->GetNodeData<SurfoObject>();
    bc = op->GetDataInstance();
  }
  void TearDown() override {
    BaseDocument::Free(doc);
    ClearHostFaults();
  }

  // One evaluation pass; returns how many formula evaluations it cost.
  Int64 Evaluate() {
    const Int64 before = GetStringToNumberCount();
    ExecutePasses(doc);
    return GetStringToNumberCount() - before;
  }
  void Set(Int32 id, const GeData& value) { op->SetParameter(DescID(id), value); }
  void SetFrame(Int32 frame) { doc->SetTime(BaseTime(frame, doc->GetFps())); }
  const PlotSample& Sample(Int32 row, Int32 column) const {
    const auto w = static_cast<std::size_t>(plot->GetResolution() + 1);
    return plot->GetSamples().at(static_cast<std::size_t>(row) * w + static_cast<std::size_t>(column));
  }
  std::size_t Count() const { return plot->GetSamples().size(); }

  BaseDocument* doc = nullptr;
  BaseObject* op = nullptr;
  SurfoObject* plot = nullptr;
  BaseContainer* bc = nullptr;
};

// A plot with one component of type `Type` directly below it.
template <Int32 Type>
class ComponentFixture : public PlotFixture {
protected:
  static void SetUpTestSuite() {
    PlotFixture::SetUpTestSuite();
    RegisterMesh();
    RegisterSplineComponents();
  }
  void SetUp() override {
    PlotFixture::SetUp();
    component = BaseObject::Alloc(Type);
    component->InsertUnder(op);
  }
  // One pass; whether the component got a new cache in it (the plot's own null is always new).
  bool Rebuilt() { return ExecutePasses(doc).cachesBuilt > 1; }

  BaseObject* component = nullptr;
};

}  // namespace vantelle
