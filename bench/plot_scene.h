// A document holding one default plot at a given resolution, with the module's types
// registered from this build's code, and optionally a mesh component below the plot.
#pragma once

#include "common/type_ids.h"
#include "host/scene/execution.h"
#include "host/scene/registry.h"
#include "mesh/surfo_mesh.h"
#include "plot/surfo_object.h"

namespace vantelle {

class PlotScene {
public:
  explicit PlotScene(Int32 resolution, bool withMesh = false) {
    if (FindObjectPlugin(Osurfo) == nullptr) {
      RegisterObjectPlugin(Osurfo, String("Plot"), 0x8104, SurfoObject::Alloc, String(), nullptr, 0);
    }
    if (FindObjectPlugin(Osurfomesh) == nullptr) {
      RegisterObjectPlugin(Osurfomesh, String("Mesh"), 0x10008504, SurfoMesh::Alloc, String(), nullptr, 0);
    }
    doc_ = BaseDocument::Alloc();
    plot_ = BaseObject::Alloc(Osurfo);
    plot_->GetDataInstance()->SetInt32(SURFO_RESOLUTION, resolution);
    doc_->InsertObject(plot_, nullptr, nullptr);
    if (withMesh) {
      mesh_ = BaseObject::Alloc(Osurfomesh);
      mesh_->InsertUnder(plot_);
      ExecutePasses(doc_, false);
    }
  }
  ~PlotScene() { BaseDocument::Free(doc_); }
  PlotScene(const PlotScene&) = delete;
  PlotScene& operator=(const PlotScene&) = delete;

  BaseDocument* doc() const { return doc_; }
  BaseObject* plot() const { return plot_; }
  BaseObject* mesh() const { return mesh_; }
  SurfoObject* data() const { return plot_->GetNodeData<SurfoObject>(); }
  const PlotSamples& samples() const { return data()->GetPlotSamples(); }

private:
  BaseDocument* doc_ = nullptr;
  BaseObject* plot_ = nullptr;
  BaseObject* mesh_ = nullptr;
};

}  // namespace vantelle
