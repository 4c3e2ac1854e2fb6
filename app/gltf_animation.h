// Exporting several evaluated frames: one animated glTF when the frames share their
// topology, one file per frame otherwise.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/gltf_compress.h"
#include "app/gltf_model.h"
#include "host/files/files.h"
#include "host/scene/document.h"

namespace vantelle::app {

// Collects what the document shows at each frame, then writes it.
class GltfFrameRecorder {
public:
  GltfFrameRecorder();
  ~GltfFrameRecorder();
  GltfFrameRecorder(const GltfFrameRecorder&) = delete;
  GltfFrameRecorder& operator=(const GltfFrameRecorder&) = delete;

  // Captures the document as evaluated now as the next frame.
  void Capture(BaseDocument* doc);
  Int32 GetFrameCount() const;
  // What the frames could not hold, the most of any frame per object.
  const std::vector<DroppedGeometry>& GetDropped() const;
  // Whether every frame has the same nodes, meshes, primitives, vertex and index counts
  // and materials, so one file can animate between them (vertices and transforms move,
  // materials cannot change).
  bool HasSameTopology() const;
  // Whether any vertex moves between frames.
  bool HasMotion() const;
  // Whether one file can animate the frames: they have the same topology, or they would
  // have once the extruded outlines (text) that change their make-up are set apart.
  bool FitsOneFile() const;

  // Writes one file: the first frame's scene; every mesh whose vertices move gets one
  // morph target per frame (positions, and normals where the mesh has them), driven by
  // one weights animation that shows frame k at time k / fps. Without motion the file is
  // static. Extruded outlines whose make-up changes (text showing another number) are set
  // apart first: each distinct version becomes a node of its own, scaled to zero with
  // step interpolation in the frames it does not belong to. Throws the app's Failure
  // when it cannot be written or the frames do not fit one file; the target is replaced
  // only on success.
  // `compression` makes the file smaller (see GlbCompression).
  void WriteAnimated(const Filename& path, Int32 fps, GlbCompression compression = GlbCompression::kNone) const;
  // Writes one file per frame: "<path without .glb>_0000.glb", numbered from 0 in
  // capture order. Returns the names written. Throws Failure, leaving no partial file.
  std::vector<std::string> WriteFrames(const Filename& path,
                                       GlbCompression compression = GlbCompression::kNone) const;

private:
  struct Frames;
  std::unique_ptr<Frames> frames_;
};

}  // namespace vantelle::app
