#include "app/gltf_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <tiny_gltf.h>

#include "app/app_error.h"
#include "app/gltf_geometry.h"
#include "app/gltf_model.h"
#include "app/gltf_space.h"
#include "app/output_files.h"
#include "app/staged_file.h"
#include "host/files/file_replacement.h"
#include "host/geometry/polygon_object.h"
#include "host/geometry/spline_object.h"
#include "host/scene/registry.h"

namespace vantelle::app {

namespace {

// A display colour an object shows, or none (the neutral grey).
struct DisplayColour {
  bool set = false;
  Vector colour;
};

// The colour an object shows: its own when it uses one, else what it inherits.
DisplayColour ColourOf(const BaseObject& op, const DisplayColour& inherited) {
  ObjectColorProperties properties;
  op.GetColorProperties(&properties);
  if (properties.usecolor != 0) {
    return {true, properties.color};
  }
  return inherited;
}

bool IsIdentity(const Matrix& m) { return m == Matrix(); }

// The object's name, or its type's name when it has none: objects are often left unnamed,
// and tinygltf writes a node without any property as null, which is not valid glTF.
std::string NodeName(const BaseObject& op) {
  if (op.GetName().IsPopulated()) {
    return op.GetName().GetStd();
  }
  if (const ObjectPlugin* plugin = op.GetPlugin(); plugin != nullptr && plugin->name.IsPopulated()) {
    return plugin->name.GetStd();
  }
  switch (op.GetType()) {
    case Opolygon:
      return "Polygon";
    case Ospline:
      return "Spline";
    case Onull:
      return "Null";
    default:
      return "Object";
  }
}

// Builds the glTF model of one document.
class ModelBuilder {
public:
  ModelBuilder() {
    model_.asset.version = "2.0";
    model_.asset.generator = "Vantelle";
  }

  void AddDocument(const BaseDocument& doc) {
    tinygltf::Scene scene;
    std::vector<Pending> stack;
    std::vector<Pending> level;
    for (const BaseObject* op = doc.GetFirstObject(); op != nullptr; op = op->GetNext()) {
      level.push_back({op, -1, DisplayColour{}, op});
    }
    Push(stack, level);
    // An explicit stack rather than recursion, so a deep hierarchy cannot exhaust the
    // call stack. Children are pushed in reverse, which keeps nodes in tree order.
    while (!stack.empty()) {
      const Pending item = stack.back();
      stack.pop_back();
      // Not rendered: left out with everything below it.
      if (item.op->GetRenderMode() == MODE_OFF) {
        continue;
      }
      const int node = AddObjectNode(item, stack);
      if (item.parent < 0) {
        scene.nodes.push_back(node);
      } else {
        model_.nodes[item.parent].children.push_back(node);
      }
    }
    if (!scene.nodes.empty()) {
      model_.scenes.push_back(std::move(scene));
      model_.defaultScene = 0;
    }
  }

  const std::vector<const BaseObject*>& NodeObjects() const { return nodeObjects_; }

  // The model with its binary buffer filled in, in one allocation: the arrays of all
  // meshes are gathered first, and each is freed as soon as it is copied.
  tinygltf::Model& Finish() {
    if (!blocks_.empty()) {
      model_.buffers.emplace_back();
      std::vector<unsigned char>& bin = model_.buffers[0].data;
      bin.reserve(binBytes_);
      for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const Block& block = blocks_[i];
        bin.insert(bin.end(), block.data, block.data + block.bytes);
        if (i + 1 == blocks_.size() || blocks_[i + 1].mesh != block.mesh) {
          arrays_[block.mesh] = MeshArrays{};
        }
      }
      blocks_.clear();
      arrays_.clear();
    }
    return model_;
  }

  // What the file could not hold, by document object.
  const std::vector<DroppedGeometry>& Dropped() const { return dropped_; }

private:
  struct Pending {
    const BaseObject* op;
    int parent;  // node index, or -1 for the scene's top level
    DisplayColour colour;
    const BaseObject* source;  // the document object: op itself, or the generator whose cache holds op
  };

  static void Push(std::vector<Pending>& stack, const std::vector<Pending>& inOrder) {
    stack.insert(stack.end(), inOrder.rbegin(), inOrder.rend());
  }

  int AddObjectNode(const Pending& item, std::vector<Pending>& stack) {
    const BaseObject& op = *item.op;
    const int index = static_cast<int>(model_.nodes.size());
    model_.nodes.emplace_back();
    nodeObjects_.push_back(&op);
    model_.nodes[index].name = NodeName(op);
    ToGltf::LocalTransform(op, model_.nodes[index]);
    source_ = item.source;

    const DisplayColour colour = ColourOf(op, item.colour);
    std::vector<Pending> below;
    // A switched-off object shows nothing of its own; its children decide for themselves.
    if (op.GetDeformMode()) {
      model_.nodes[index].mesh = AddGeometry(op, colour, model_.nodes[index].name);
      if (const BaseObject* cache = op.GetCache()) {
        AddCache(*cache, index, colour, below);
      }
    }
    // A working generator that builds from its children (an extrude from its splines)
    // shows them in its cache; they are not shown again themselves.
    const ObjectPlugin* plugin = op.GetPlugin();
    const bool consumesChildren = op.GetDeformMode() && plugin != nullptr && (plugin->info & OBJECT_INPUT) != 0;
    if (!consumesChildren) {
      for (const BaseObject* child = op.GetDown(); child != nullptr; child = child->GetNext()) {
        // A cache's own children belong to the same generator; a document object's are objects of their own.
        below.push_back({child, index, colour, item.source == item.op ? child : item.source});
      }
    }
    Push(stack, below);
    return index;
  }

  // A generator's cache goes below its node; a lone piece of geometry at the generator's
  // origin becomes the node's own mesh, and a null at the origin is only a folder.
  void AddCache(const BaseObject& cache, int node, const DisplayColour& colour, std::vector<Pending>& below) {
    const bool atOrigin = IsIdentity(cache.GetMl());
    const bool bare = cache.GetDown() == nullptr && cache.GetCache() == nullptr;
    if (atOrigin && bare && model_.nodes[node].mesh < 0 && IsGeometry(cache)) {
      // Caches are seldom named; the mesh then takes the generator's name.
      const std::string name = cache.GetName().IsPopulated() ? cache.GetName().GetStd() : model_.nodes[node].name;
      model_.nodes[node].mesh = AddGeometry(cache, ColourOf(cache, colour), name);
      return;
    }
    if (atOrigin && cache.GetType() == Onull && cache.GetCache() == nullptr) {
      const DisplayColour inner = ColourOf(cache, colour);
      for (const BaseObject* child = cache.GetDown(); child != nullptr; child = child->GetNext()) {
        below.push_back({child, node, inner, source_});
      }
      return;
    }
    below.push_back({&cache, node, colour, source_});
  }

  // Kept in step with AddGeometry.
  static bool IsGeometry(const BaseObject& op) {
    return dynamic_cast<const PolygonObject*>(&op) != nullptr || dynamic_cast<const SplineObject*>(&op) != nullptr;
  }

  // Every kind of geometry an object can carry is dispatched here, so that the kinds stay
  // in step with IsGeometry. Returns the mesh index, or -1 when the object has nothing to
  // show.
  int AddGeometry(const BaseObject& op, const DisplayColour& colour, const std::string& name) {
    if (const auto* polygons = dynamic_cast<const PolygonObject*>(&op)) {
      return AddPolygonMesh(*polygons, colour, name);
    }
    if (const auto* spline = dynamic_cast<const SplineObject*>(&op)) {
      return AddSplineMesh(*spline, colour, name);
    }
    return -1;
  }

  // One line primitive per segment; lines have no surface to light, so their material
  // shows the display colour as it is.
  int AddSplineMesh(const SplineObject& op, const DisplayColour& colour, const std::string& name) {
    Int64 dropped = 0;
    std::vector<LineArrays> lines = BuildLineArrays(op, &dropped);
    NoteDropped(0, dropped);
    if (lines.empty()) {
      return -1;
    }
    const int material = MaterialFor(colour.set ? colour.colour : kNeutral, /*unlit=*/true);
    tinygltf::Mesh mesh;
    mesh.name = name;
    for (LineArrays& line : lines) {
      arrays_.push_back(std::move(line.arrays));
      const MeshArrays& arrays = arrays_.back();
      tinygltf::Primitive primitive;
      primitive.mode = line.closed ? TINYGLTF_MODE_LINE_LOOP : TINYGLTF_MODE_LINE_STRIP;
      const int position = AddAccessor(arrays.positions, TINYGLTF_TYPE_VEC3, static_cast<int>(arrays.VertexCount()),
                                       TINYGLTF_TARGET_ARRAY_BUFFER);
      model_.accessors[position].minValues.assign(arrays.min.begin(), arrays.min.end());
      model_.accessors[position].maxValues.assign(arrays.max.begin(), arrays.max.end());
      primitive.attributes["POSITION"] = position;
      primitive.material = material;
      mesh.primitives.push_back(std::move(primitive));
    }
    model_.meshes.push_back(std::move(mesh));
    return static_cast<int>(model_.meshes.size()) - 1;
  }

  int AddPolygonMesh(const PolygonObject& op, const DisplayColour& colour, const std::string& name) {
    MeshArrays built;
    const bool any = BuildMeshArrays(op, built);
    NoteDropped(built.dropped, 0);
    if (!any) {
      return -1;
    }
    const bool vertexColours = !built.colours.empty();
    // Vertex colours are multiplied by the base colour, so white keeps them as they are.
    const int material = vertexColours ? MaterialFor(Vector(1.0)) : MaterialFor(colour.set ? colour.colour : kNeutral);
    // Objects of one shape placed by their transforms (a plot's primitives, thousands of
    // them) share one mesh: readers then build it once.
    const std::size_t key = HashArrays(built, material);
    for (const auto& [mesh, arraysIndex] : shared_[key]) {
      const MeshArrays& other = arrays_[arraysIndex];
      if (model_.meshes[mesh].primitives[0].material == material && other.positions == built.positions &&
          other.normals == built.normals && other.uvs == built.uvs && other.colours == built.colours &&
          other.indices == built.indices) {
        return mesh;
      }
    }
    shared_[key].emplace_back(static_cast<int>(model_.meshes.size()), arrays_.size());
    // Moving keeps the arrays' storage where it is, so the blocks may point into it.
    arrays_.push_back(std::move(built));
    const MeshArrays& arrays = arrays_.back();
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    const int count = static_cast<int>(arrays.VertexCount());
    primitive.attributes["POSITION"] = AddAccessor(arrays.positions, TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    tinygltf::Accessor& position = model_.accessors[primitive.attributes["POSITION"]];
    position.minValues.assign(arrays.min.begin(), arrays.min.end());
    position.maxValues.assign(arrays.max.begin(), arrays.max.end());
    primitive.attributes["NORMAL"] = AddAccessor(arrays.normals, TINYGLTF_TYPE_VEC3, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    if (!arrays.uvs.empty()) {
      primitive.attributes["TEXCOORD_0"] = AddAccessor(arrays.uvs, TINYGLTF_TYPE_VEC2, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    }
    if (vertexColours) {
      primitive.attributes["COLOR_0"] = AddAccessor(arrays.colours, TINYGLTF_TYPE_VEC4, count, TINYGLTF_TARGET_ARRAY_BUFFER);
    }
    primitive.indices = AddAccessor(arrays.indices, TINYGLTF_TYPE_SCALAR, static_cast<int>(arrays.indices.size()),
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    primitive.material = material;

    tinygltf::Mesh mesh;
    mesh.name = name;
    mesh.primitives.push_back(std::move(primitive));
    model_.meshes.push_back(std::move(mesh));
    return static_cast<int>(model_.meshes.size()) - 1;
  }

  static std::size_t HashArrays(const MeshArrays& arrays, int material) {
    std::size_t hash = std::hash<int>()(material);
    const auto mix = [&hash](const auto& values) {
      const std::string_view bytes(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(values[0]));
      hash = hash * 1000003u ^ std::hash<std::string_view>()(bytes);
    };
    mix(arrays.positions);
    mix(arrays.normals);
    mix(arrays.uvs);
    mix(arrays.colours);
    mix(arrays.indices);
    return hash;
  }

  void NoteDropped(Int64 polygons, Int64 lines) {
    if (polygons == 0 && lines == 0) {
      return;
    }
    auto entry = std::find_if(dropped_.begin(), dropped_.end(),
                              [this](const DroppedGeometry& d) { return d.object == source_; });
    if (entry == dropped_.end()) {
      entry =
          dropped_.insert(dropped_.end(), DroppedGeometry{source_, source_ != nullptr ? NodeName(*source_) : "", 0, 0});
    }
    entry->polygons += polygons;
    entry->lines += lines;
  }

  // An accessor over `values` of the newest mesh, whose bytes Finish copies into place.
  template <class T>
  int AddAccessor(const std::vector<T>& values, int type, int count, int target) {
    static_assert(sizeof(T) == 4, "every component is 4 bytes, which keeps views aligned");
    const std::size_t bytes = values.size() * sizeof(T);
    if (binBytes_ + bytes > kMaxGlbBin) {
      throw Failure("the scene is too large for a .glb file");
    }
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = binBytes_;
    view.byteLength = bytes;
    view.target = target;
    model_.bufferViews.push_back(view);
    blocks_.push_back({arrays_.size() - 1, reinterpret_cast<const unsigned char*>(values.data()), bytes});
    binBytes_ += bytes;

    tinygltf::Accessor accessor;
    accessor.bufferView = static_cast<int>(model_.bufferViews.size()) - 1;
    accessor.byteOffset = 0;
    accessor.componentType = std::is_same_v<T, float> ? TINYGLTF_COMPONENT_TYPE_FLOAT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    accessor.count = static_cast<std::size_t>(count);
    accessor.type = type;
    model_.accessors.push_back(std::move(accessor));
    return static_cast<int>(model_.accessors.size()) - 1;
  }

  // One material per colour and kind: lit for surfaces, unlit (with a dull, non-metallic
  // fallback for readers without the extension) for lines. Colours that look the same
  // in 8 bits a channel share the first one's material: thousands of primitives coloured
  // along a gradient then need hundreds of materials, not thousands, and readers build
  // each material once.
  int MaterialFor(const Vector& colour, bool unlit = false) {
    const auto level = [](double c) { return std::isfinite(c) ? std::round(std::clamp(c, 0.0, 1.0) * 255.0) : -1.0; };
    const std::array<double, 4> key = {level(colour.x), level(colour.y), level(colour.z), unlit ? 1.0 : 0.0};
    if (const auto found = materials_.find(key); found != materials_.end()) {
      return found->second;
    }
    tinygltf::Material material;
    char name[40];
    std::snprintf(name, sizeof(name), "%s %.3f %.3f %.3f", unlit ? "Line" : "Colour", colour.x, colour.y, colour.z);
    material.name = name;
    material.pbrMetallicRoughness.baseColorFactor = {colour.x, colour.y, colour.z, 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = kRoughness;
    if (unlit) {
      material.extensions[kUnlit] = tinygltf::Value(tinygltf::Value::Object());
      if (std::find(model_.extensionsUsed.begin(), model_.extensionsUsed.end(), kUnlit) ==
          model_.extensionsUsed.end()) {
        model_.extensionsUsed.push_back(kUnlit);
      }
    } else {
      // Plots are open sheets seen from above and below.
      material.doubleSided = true;
    }
    model_.materials.push_back(std::move(material));
    const int index = static_cast<int>(model_.materials.size()) - 1;
    materials_.emplace(key, index);
    return index;
  }

  static constexpr Vector kNeutral{0.8, 0.8, 0.8};
  static constexpr const char* kUnlit = "KHR_materials_unlit";
  static constexpr double kRoughness = 0.8;

  // Bytes of one mesh array, in the order they go into the buffer.
  struct Block {
    std::size_t mesh;  // index into arrays_
    const unsigned char* data;
    std::size_t bytes;
  };

  tinygltf::Model model_;
  std::vector<const BaseObject*> nodeObjects_;  // per node
  std::map<std::array<double, 4>, int> materials_;  // colour and unlit flag
  std::vector<MeshArrays> arrays_;
  // Polygon meshes by HashArrays: the mesh and its arrays' index.
  std::unordered_map<std::size_t, std::vector<std::pair<int, std::size_t>>> shared_;
  std::vector<Block> blocks_;
  std::size_t binBytes_ = 0;
  const BaseObject* source_ = nullptr;  // the document object being added
  std::vector<DroppedGeometry> dropped_;
};

// An output stream's bytes to a file being replaced, in large pieces. The first failure
// is kept, and the stream reports it as bad.
class ReplacementBuffer : public std::streambuf {
public:
  explicit ReplacementBuffer(FileReplacement& file) : file_(file), buffer_(std::size_t{1} << 20) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  bool Failed() const { return failed_; }
  const FileWriteError& GetError() const { return error_; }

protected:
  int_type overflow(int_type c) override {
    if (!Drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    // A large block (the binary chunk) goes straight to the file, not through the buffer.
    if (count >= static_cast<std::streamsize>(buffer_.size())) {
      if (!Drain() || !Put(data, static_cast<std::size_t>(count))) {
        return 0;
      }
      return count;
    }
    return std::streambuf::xsputn(data, count);
  }
  int sync() override { return Drain() ? 0 : -1; }

private:
  bool Put(const char* data, std::size_t size) {
    if (!failed_ && !file_.Write(data, size, &error_)) {
      failed_ = true;
    }
    return !failed_;
  }
  bool Drain() {
    const bool ok = Put(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return ok;
  }

  FileReplacement& file_;
  std::vector<char> buffer_;
  FileWriteError error_;
  bool failed_ = false;
};

}  // namespace

void MergeDropped(std::vector<DroppedGeometry>& into, const std::vector<DroppedGeometry>& more) {
  for (const DroppedGeometry& d : more) {
    auto entry =
        std::find_if(into.begin(), into.end(), [&d](const DroppedGeometry& e) { return e.object == d.object; });
    if (entry == into.end()) {
      into.push_back(d);
    } else {
      entry->polygons = std::max(entry->polygons, d.polygons);
      entry->lines = std::max(entry->lines, d.lines);
    }
  }
}

tinygltf::Model BuildGltfModel(const BaseDocument* doc, std::vector<DroppedGeometry>* dropped,
                                std::vector<const BaseObject*>* nodeObjects) {
  ModelBuilder builder;
  if (doc != nullptr) {
    builder.AddDocument(*doc);
  }
  if (dropped != nullptr) {
    MergeDropped(*dropped, builder.Dropped());
  }
  if (nodeObjects != nullptr) {
    *nodeObjects = builder.NodeObjects();
  }
  return std::move(builder.Finish());
}

StagedFile StageGlb(const tinygltf::Model& model, const Filename& path) {
  StagedFile staged(path);
  ReplacementBuffer buffer(staged.File());
  std::ostream stream(&buffer);
  tinygltf::TinyGLTF writer;
  const bool written = writer.WriteGltfSceneToStream(&model, stream, false, true);
  stream.flush();
  if (buffer.Failed()) {
    throw WriteError(staged.Shown(), buffer.GetError());
  }
  if (!written || !stream) {
    throw Failure("cannot write " + staged.Shown() + ": the glTF writer failed");
  }
  staged.Finish();
  return staged;
}

StagedFile StageGlb(const tinygltf::Model& model, const BinaryChunk& bin, const Filename& path, Progress* progress,
                    const GltfJsonPatch& patch) {
  if (model.buffers.empty() || !model.buffers[0].data.empty() || bin.Size() > kMaxGlbBin) {
    throw std::logic_error("StageGlb: buffer 0 must be empty and the chunk within a .glb's bounds");
  }
  // The JSON as the library writes it, with an empty buffer whose length is then set:
  // everything else of the file is exactly what the library would write.
  std::ostringstream json;
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&model, json, false, true)) {
    throw Failure("cannot write " + path.GetPath().string() + ": the glTF writer failed");
  }
  std::string text = std::move(json).str();
  constexpr std::size_t kGlbHeader = 20;  // file header and the JSON chunk's header
  text.erase(0, kGlbHeader);
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  // Quotes inside names are escaped, so this can only be the buffer's own entry.
  const std::string empty = "\"buffers\":[{\"byteLength\":0";
  const std::size_t at = text.find(empty);
  if (at == std::string::npos) {
    throw std::logic_error("StageGlb: the library wrote no empty buffer");
  }
  text.replace(at, empty.size(), "\"buffers\":[{\"byteLength\":" + std::to_string(bin.Size()));
  if (patch) {
    nlohmann::ordered_json patched = nlohmann::ordered_json::parse(text);
    patch(patched);
    text = patched.dump();
  }
  text.resize((text.size() + 3) / 4 * 4, ' ');
  const auto binBytes = static_cast<UInt32>(bin.Size());
  const UInt32 binPadded = (binBytes + 3) / 4 * 4;
  const auto jsonBytes = static_cast<UInt32>(text.size());
  const UInt32 header[5] = {0x46546C67, 2, 12 + 8 + jsonBytes + (binBytes != 0 ? 8 + binPadded : 0), jsonBytes,
                            0x4E4F534A};

  StagedFile staged(path);
  staged.Write(header, sizeof(header));
  staged.Write(text.data(), text.size());
  if (binBytes != 0) {
    const UInt32 chunk[2] = {binPadded, 0x004E4942};
    staged.Write(chunk, sizeof(chunk));
    bin.Read([&staged, progress](const unsigned char* data, std::size_t size) {
      staged.Write(data, size);
      if (progress != nullptr) {
        progress->Advance(static_cast<Int64>(size));
      }
    });
    const unsigned char zeros[4] = {};
    staged.Write(zeros, binPadded - binBytes);
  }
  staged.Finish();
  return staged;
}

void WriteGltfModel(const tinygltf::Model& model, const Filename& path) { StageGlb(model, path).Commit(); }

std::vector<DroppedGeometry> WriteGlb(BaseDocument* doc, const Filename& path, GlbCompression compression) {
  std::vector<DroppedGeometry> dropped;
  StageCompressedGlb(BuildGltfModel(doc, &dropped), path, compression).Commit();
  return dropped;
}

}  // namespace vantelle::app
