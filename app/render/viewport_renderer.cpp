#include "app/render/viewport_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "app/app_error.h"

namespace vantelle::app {

namespace {

// Attribute locations shared by the programs.
constexpr GLuint kPosition = 0;
constexpr GLuint kNormal = 1;
constexpr GLuint kColour = 2;
constexpr GLuint kCentre = 3;  // sphere instances
constexpr GLuint kRadii = 4;   // sphere instances
constexpr GLuint kPoint = 5;   // pixel size, and 1 for a round point

// Surfaces and spheres: a headlight from the camera plus ambient light, lit from both
// sides, as plots are open sheets.
constexpr const char* kSurfaceVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec3 aCentre;
layout(location = 4) in vec3 aRadii;
uniform mat4 uModel;
uniform mat4 uView;
uniform mat4 uViewProjection;
uniform mat3 uNormalMatrix;
out vec3 vNormal;
out vec3 vToEye;
out vec4 vColour;
void main() {
  vec4 world = uModel * vec4(aCentre + aRadii * aPosition, 1.0);
  gl_Position = uViewProjection * world;
  vNormal = mat3(uView) * (uNormalMatrix * (aNormal / max(abs(aRadii), vec3(1e-20))));
  vToEye = -(uView * world).xyz;
  vColour = aColour;
}
)";

constexpr const char* kSurfaceFragment = R"(#version 330 core
in vec3 vNormal;
in vec3 vToEye;
in vec4 vColour;
uniform float uParallel;
out vec4 fragColour;
void main() {
  vec3 n = normalize(vNormal);
  vec3 l = uParallel > 0.5 ? vec3(0.0, 0.0, 1.0) : normalize(vToEye);
  float facing = abs(dot(n, l));
  vec3 colour = vColour.rgb * (0.3 + 0.7 * facing) + vec3(0.16 * pow(facing, 40.0));
  fragColour = vec4(min(colour, vec3(1.0)), 1.0);
}
)";

// Marks' lines and points in flat colours; points are round dots or square handles.
constexpr const char* kFlatVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 2) in vec4 aColour;
layout(location = 5) in vec2 aPoint;
uniform mat4 uModel;
uniform mat4 uViewProjection;
uniform float uPixelScale;
out vec4 vColour;
flat out float vRound;
void main() {
  gl_Position = uViewProjection * uModel * vec4(aPosition, 1.0);
  gl_PointSize = clamp(aPoint.x * uPixelScale, 1.0, 255.0);
  vColour = aColour;
  vRound = aPoint.y;
}
)";

constexpr const char* kFlatFragment = R"(#version 330 core
in vec4 vColour;
flat in float vRound;
out vec4 fragColour;
void main() {
  if (vRound > 0.5) {
    vec2 d = gl_PointCoord * 2.0 - 1.0;
    if (dot(d, d) > 1.0) discard;
  }
  fragColour = vColour;
}
)";

// Geometry's lines: one colour for a whole object, and nothing else to carry from vertex
// to pixel, which keeps a software renderer's setup of each of many short lines cheap.
constexpr const char* kLineVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
uniform mat4 uModel;
uniform mat4 uViewProjection;
void main() {
  gl_Position = uViewProjection * uModel * vec4(aPosition, 1.0);
}
)";

constexpr const char* kLineFragment = R"(#version 330 core
uniform vec4 uColour;
out vec4 fragColour;
void main() {
  fragColour = uColour;
}
)";

// The background: a dark gradient, lighter at the top.
constexpr const char* kBackgroundVertex = R"(#version 330 core
uniform vec2 uPart;  // the drawn part's height and bottom as fractions of the whole view
out float vHeight;
void main() {
  vec2 corner = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
  gl_Position = vec4(corner, 0.0, 1.0);
  vHeight = uPart.y + (corner.y * 0.5 + 0.5) * uPart.x;
}
)";

constexpr const char* kBackgroundFragment = R"(#version 330 core
in float vHeight;
out vec4 fragColour;
void main() {
  vec3 bottom = vec3(0.085, 0.09, 0.105);
  vec3 top = vec3(0.25, 0.265, 0.295);
  fragColour = vec4(mix(bottom, top, clamp(vHeight, 0.0, 1.0)), 1.0);
}
)";

// Line width of geometry in pixels of the final picture.
constexpr float kLinePixels = 1.25f;
// Spheres of marks in three levels of detail, each round enough up to a radius in pixels:
// slices around, stacks from pole to pole. Plots draw thousands of small spheres.
struct SphereDetail {
  int slices;
  int stacks;
  float upToPixels;
};
constexpr SphereDetail kSphereDetails[] = {{8, 6, 12.0f}, {16, 10, 40.0f}, {32, 20, 1e30f}};
constexpr int kSphereLevels = 3;

Mat4 ToMat4(const Matrix& m) {
  return {static_cast<float>(m.v1.x),  static_cast<float>(m.v1.y),  static_cast<float>(m.v1.z),  0.0f,
          static_cast<float>(m.v2.x),  static_cast<float>(m.v2.y),  static_cast<float>(m.v2.z),  0.0f,
          static_cast<float>(m.v3.x),  static_cast<float>(m.v3.y),  static_cast<float>(m.v3.z),  0.0f,
          static_cast<float>(m.off.x), static_cast<float>(m.off.y), static_cast<float>(m.off.z), 1.0f};
}

// The inverse transpose of the matrix's linear part, column-major, which carries normals.
std::array<float, 9> NormalMatrix(const Matrix& m) {
  const Vector c0 = Cross(m.v2, m.v3);
  const Vector c1 = Cross(m.v3, m.v1);
  const Vector c2 = Cross(m.v1, m.v2);
  const Float det = Dot(m.v1, c0);
  const Float s = det != 0.0 && std::isfinite(det) ? 1.0 / det : 1.0;
  return {static_cast<float>(c0.x * s), static_cast<float>(c0.y * s), static_cast<float>(c0.z * s),
          static_cast<float>(c1.x * s), static_cast<float>(c1.y * s), static_cast<float>(c1.z * s),
          static_cast<float>(c2.x * s), static_cast<float>(c2.y * s), static_cast<float>(c2.z * s)};
}

constexpr Mat4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr std::array<float, 9> kIdentity3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};

void Append(std::vector<float>& out, const Vector& v) {
  out.insert(out.end(), {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)});
}

// Clip space of the whole view to clip space of the part being drawn.
Mat4 PartOfView(const ViewRegion& r) {
  const float sx = static_cast<float>(r.width) / static_cast<float>(r.partWidth);
  const float sy = static_cast<float>(r.height) / static_cast<float>(r.partHeight);
  const float cx =
      (static_cast<float>(r.x) + 0.5f * static_cast<float>(r.partWidth)) / static_cast<float>(r.width) * 2.0f - 1.0f;
  const float cy =
      (static_cast<float>(r.y) + 0.5f * static_cast<float>(r.partHeight)) / static_cast<float>(r.height) * 2.0f - 1.0f;
  return {sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, 1, 0, -sx * cx, -sy * cy, 0, 1};
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (std::size_t col = 0; col < 4; ++col) {
    for (std::size_t row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (std::size_t k = 0; k < 4; ++k) {
        sum += a[k * 4 + row] * b[col * 4 + k];
      }
      r[col * 4 + row] = sum;
    }
  }
  return r;
}

template <class T>
void Fill(const GlFunctions& gl, GLenum target, GLuint buffer, const std::vector<T>& data) {
  gl.BindBuffer(target, buffer);
  gl.BufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.data(), GL_STATIC_DRAW);
}

// Fill for a buffer that held `size` bytes before: the same size is written over in place,
// which spares the driver allocating new storage at every frame of a drag.
template <class T>
void Refill(const GlFunctions& gl, GLenum target, GLuint buffer, GLsizeiptr& size, const std::vector<T>& data) {
  const auto bytes = static_cast<GLsizeiptr>(data.size() * sizeof(T));
  gl.BindBuffer(target, buffer);
  if (bytes == size) {
    if (bytes > 0) {
      gl.BufferSubData(target, 0, bytes, data.data());
    }
  } else {
    gl.BufferData(target, bytes, data.data(), GL_DYNAMIC_DRAW);
    size = bytes;
  }
}

// Points a float attribute at a bound buffer: `size` floats from `offset` every `stride` floats.
void Attribute(const GlFunctions& gl, GLuint location, GLint size, int stride = 0, int offset = 0) {
  gl.VertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride * sizeof(float)),
                         reinterpret_cast<const void*>(static_cast<std::size_t>(offset) * sizeof(float)));
  gl.EnableVertexAttribArray(location);
}

class Program {
public:
  Program(const GlFunctions& gl, const char* vertex, const char* fragment, const char* name) : gl_(gl) {
    const GLuint vs = Compile(GL_VERTEX_SHADER, vertex, name);
    GLuint fs = 0;
    try {
      fs = Compile(GL_FRAGMENT_SHADER, fragment, name);
    } catch (...) {
      gl.DeleteShader(vs);
      throw;
    }
    id_ = gl.CreateProgram();
    gl.AttachShader(id_, vs);
    gl.AttachShader(id_, fs);
    gl.LinkProgram(id_);
    gl.DeleteShader(vs);
    gl.DeleteShader(fs);
    GLint ok = GL_FALSE;
    gl.GetProgramiv(id_, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
      char log[1024] = {};
      gl.GetProgramInfoLog(id_, sizeof(log), nullptr, log);
      gl.DeleteProgram(id_);
      throw Failure(std::string("cannot draw pictures: the ") + name + " shaders do not link: " + log);
    }
  }
  ~Program() { gl_.DeleteProgram(id_); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  void Use() const { gl_.UseProgram(id_); }
  GLint Uniform(const char* name) const { return gl_.GetUniformLocation(id_, name); }
  void Set(const char* name, const Mat4& m) const { gl_.UniformMatrix4fv(Uniform(name), 1, GL_FALSE, m.data()); }
  void Set(const char* name, const std::array<float, 9>& m) const {
    gl_.UniformMatrix3fv(Uniform(name), 1, GL_FALSE, m.data());
  }
  void Set(const char* name, float value) const { gl_.Uniform1f(Uniform(name), value); }

private:
  GLuint Compile(GLenum kind, const char* source, const char* name) {
    const GLuint shader = gl_.CreateShader(kind);
    gl_.ShaderSource(shader, 1, &source, nullptr);
    gl_.CompileShader(shader);
    GLint ok = GL_FALSE;
    gl_.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
      char log[1024] = {};
      gl_.GetShaderInfoLog(shader, sizeof(log), nullptr, log);
      gl_.DeleteShader(shader);
      throw Failure(std::string("cannot draw pictures: the ") + name + " shader does not compile: " + log);
    }
    return shader;
  }

  const GlFunctions& gl_;
  GLuint id_ = 0;
};

}  // namespace

struct ViewportRenderer::Programs {
  Program surface;
  Program flat;
  Program background;
  Program line;
  explicit Programs(const GlFunctions& gl)
      : surface(gl, kSurfaceVertex, kSurfaceFragment, "surface"),
        flat(gl, kFlatVertex, kFlatFragment, "line"),

        background(gl, kBackgroundVertex, kBackgroundFragment, "background"),
        line(gl, kLineVertex, kLineFragment, "plain line") {}
};

// The uploaded scene: OpenGL buffers, and what drawing each needs. Geometry keeps the
// arrays it was filled from, so the next upload knows them again by their address (which
// no other arrays can take while they are held) and leaves their buffers as they are.
struct ViewportRenderer::Gpu {
  struct Mesh {
    std::shared_ptr<const MeshArrays> source;
    GLuint buffers[4] = {};  // positions, normals, colours (when it has them), indices
    GLsizeiptr sizes[4] = {};
    GLsizei indexCount = 0;
    bool vertexColours = false;
    Mat4 model{};
    std::array<float, 9> normalMatrix{};
    Vector colour;
  };
  struct Lines {
    std::shared_ptr<const LinePairs> source;
    GLuint buffers[2] = {};  // positions, pairs
    GLsizeiptr sizes[2] = {};
    GLsizei indexCount = 0;
    Mat4 model{};
    Vector colour;
  };
  // One pass's marks: sphere instances (centre, radii, colour), and vertices (position,
  // colour, point data) of lines, then points clipped by depth, then points that are not.
  struct Marks {
    GLuint buffers[2] = {};  // sphere instances, vertices
    GLsizeiptr sizes[2] = {};
    GLsizei spheres = 0;
    std::vector<SphereMark> sphereMarks;  // to choose the spheres' detail by their size on screen
    GLint lineVertices = 0;
    GLint clippedPoints = 0;
    GLint unclippedPoints = 0;
    std::vector<float> instances;  // kept, so a frame does not allocate them anew
    std::vector<float> vertices;
  };

  const GlFunctions& gl;
  GLuint vertexArray = 0;
  // The unit sphere at each level of detail: positions (also its normals), indices.
  GLuint sphere[kSphereLevels][2] = {};
  GLsizei sphereIndexCount[kSphereLevels] = {};
  std::vector<Mesh> meshes;
  std::vector<Lines> lines;
  Marks marks[2];  // object pass, handles pass

  explicit Gpu(const GlFunctions& g) : gl(g) {
    gl.GenVertexArrays(1, &vertexArray);
    for (auto& level : sphere) {
      gl.GenBuffers(2, level);
    }
    for (Marks& m : marks) {
      gl.GenBuffers(2, m.buffers);
    }
  }
  ~Gpu() {
    for (Mesh& m : meshes) {
      gl.DeleteBuffers(4, m.buffers);
    }
    for (Lines& l : lines) {
      gl.DeleteBuffers(2, l.buffers);
    }
    for (Marks& m : marks) {
      gl.DeleteBuffers(2, m.buffers);
    }
    for (auto& level : sphere) {
      gl.DeleteBuffers(2, level);
    }
    gl.DeleteVertexArrays(1, &vertexArray);
  }
  Gpu(const Gpu&) = delete;
  Gpu& operator=(const Gpu&) = delete;

  // The uploaded items in the order of `sources`: an item uploaded from the same arrays
  // keeps its buffers untouched (`fresh` false); the others take the buffers of items no
  // longer shown, the one at the same place first, or new ones. Buffers nobody takes go.
  template <class Item, class SceneItem>
  std::vector<Item> Match(std::vector<Item>& old, const std::vector<SceneItem>& items, std::vector<bool>& fresh) {
    constexpr auto kBuffers = static_cast<GLsizei>(std::extent_v<decltype(Item::buffers)>);
    std::vector<const void*> sources;
    for (const SceneItem& item : items) {
      sources.push_back(item.arrays.get());
    }
    std::unordered_map<const void*, std::size_t> byArrays;
    for (std::size_t i = 0; i < old.size(); ++i) {
      byArrays.emplace(old[i].source.get(), i);
    }
    std::vector<bool> taken(old.size(), false);
    std::vector<std::ptrdiff_t> from(sources.size(), -1);
    for (std::size_t j = 0; j < sources.size(); ++j) {
      const auto found = byArrays.find(sources[j]);
      if (found != byArrays.end() && !taken[found->second]) {
        taken[found->second] = true;
        from[j] = static_cast<std::ptrdiff_t>(found->second);
      }
    }
    std::vector<Item> result(sources.size());
    fresh.assign(sources.size(), true);
    std::size_t spare = 0;  // old items not taken are handed out in their order
    for (std::size_t j = 0; j < sources.size(); ++j) {
      if (from[j] >= 0) {
        result[j] = std::move(old[static_cast<std::size_t>(from[j])]);
        fresh[j] = false;
        continue;
      }
      if (j < old.size() && !taken[j]) {
        taken[j] = true;
        result[j] = std::move(old[j]);
        continue;
      }
      while (spare < old.size() && taken[spare]) {
        ++spare;
      }
      if (spare < old.size()) {
        taken[spare] = true;
        result[j] = std::move(old[spare]);
      } else {
        gl.GenBuffers(kBuffers, result[j].buffers);
      }
    }
    for (std::size_t j = 0; j < items.size(); ++j) {
      result[j].source = items[j].arrays;
    }
    for (std::size_t i = 0; i < old.size(); ++i) {
      if (!taken[i]) {
        gl.DeleteBuffers(kBuffers, old[i].buffers);
      }
    }
    old.clear();
    return result;
  }
};

ViewportRenderer::ViewportRenderer(const GlFunctions& gl)
    : gl_(gl), programs_(std::make_unique<Programs>(gl)), gpu_(std::make_unique<Gpu>(gl)) {
  gl.BindVertexArray(gpu_->vertexArray);
  for (int level = 0; level < kSphereLevels; ++level) {
    // A unit sphere whose positions are also its normals.
    const SphereDetail& detail = kSphereDetails[level];
    std::vector<float> points;
    std::vector<GLuint> indices;
    for (int stack = 0; stack <= detail.stacks; ++stack) {
      const double theta = PI * stack / detail.stacks;
      for (int slice = 0; slice <= detail.slices; ++slice) {
        const double phi = 2.0 * PI * slice / detail.slices;
        Append(points, Vector(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)));
      }
    }
    for (int stack = 0; stack < detail.stacks; ++stack) {
      for (int slice = 0; slice < detail.slices; ++slice) {
        const auto a = static_cast<GLuint>(stack * (detail.slices + 1) + slice);
        const GLuint b = a + static_cast<GLuint>(detail.slices) + 1;
        indices.insert(indices.end(), {a, b, a + 1, a + 1, b, b + 1});
      }
    }
    gpu_->sphereIndexCount[level] = static_cast<GLsizei>(indices.size());
    Fill(gl, GL_ARRAY_BUFFER, gpu_->sphere[level][0], points);
    Fill(gl, GL_ELEMENT_ARRAY_BUFFER, gpu_->sphere[level][1], indices);
  }
  gl.BindVertexArray(0);
}

ViewportRenderer::~ViewportRenderer() = default;

void ViewportRenderer::Upload(const ViewportScene& scene) {
  const GlFunctions& gl = gl_;
  Gpu& gpu = *gpu_;
  gl.BindVertexArray(gpu.vertexArray);
  std::vector<bool> fresh;
  gpu.meshes = gpu.Match(gpu.meshes, scene.meshes, fresh);
  for (std::size_t i = 0; i < scene.meshes.size(); ++i) {
    const SceneMesh& mesh = scene.meshes[i];
    Gpu::Mesh& m = gpu.meshes[i];
    if (fresh[i]) {
      const MeshArrays& a = *mesh.arrays;
      Refill(gl, GL_ARRAY_BUFFER, m.buffers[0], m.sizes[0], a.positions);
      Refill(gl, GL_ARRAY_BUFFER, m.buffers[1], m.sizes[1], a.normals);
      m.vertexColours = !a.colours.empty();
      if (m.vertexColours) {
        Refill(gl, GL_ARRAY_BUFFER, m.buffers[2], m.sizes[2], a.colours);
      }
      Refill(gl, GL_ELEMENT_ARRAY_BUFFER, m.buffers[3], m.sizes[3], a.indices);
      m.indexCount = static_cast<GLsizei>(a.indices.size());
    }
    m.model = ToMat4(mesh.model);
    m.normalMatrix = NormalMatrix(mesh.model);
    m.colour = mesh.colour;
  }
  gpu.lines = gpu.Match(gpu.lines, scene.lines, fresh);
  for (std::size_t i = 0; i < scene.lines.size(); ++i) {
    const SceneLines& lines = scene.lines[i];
    Gpu::Lines& l = gpu.lines[i];
    if (fresh[i]) {
      Refill(gl, GL_ARRAY_BUFFER, l.buffers[0], l.sizes[0], lines.arrays->positions);
      Refill(gl, GL_ELEMENT_ARRAY_BUFFER, l.buffers[1], l.sizes[1], lines.arrays->pairs);
      l.indexCount = static_cast<GLsizei>(lines.arrays->pairs.size());
    }
    l.model = ToMat4(lines.model);
    l.colour = lines.colour;
  }
  largestPoint_ = 0.0f;
  const ViewMarks* passes[2] = {&scene.objectPass, &scene.handlesPass};
  for (int pass = 0; pass < 2; ++pass) {
    const ViewMarks& marks = *passes[pass];
    Gpu::Marks& m = gpu.marks[pass];
    std::vector<float>& instances = m.instances;
    instances.clear();
    instances.reserve(marks.spheres.size() * 10);
    for (const SphereMark& s : marks.spheres) {
      Append(instances, s.centre);
      Append(instances, s.radii);
      Append(instances, s.colour);
      instances.push_back(1.0f);
    }
    Refill(gl, GL_ARRAY_BUFFER, m.buffers[0], m.sizes[0], instances);
    m.spheres = static_cast<GLsizei>(marks.spheres.size());
    m.sphereMarks = marks.spheres;

    std::vector<float>& vertices = m.vertices;
    vertices.clear();
    vertices.reserve((marks.lines.size() * 2 + marks.points.size()) * 9);
    const auto vertex = [&vertices](const Vector& p, const Vector& colour, float pixels, float round) {
      Append(vertices, p);
      Append(vertices, colour);
      vertices.insert(vertices.end(), {1.0f, pixels, round});
    };
    for (const LineMark& line : marks.lines) {
      vertex(line.from, line.colour, 1.0f, 0.0f);
      vertex(line.to, line.colour, 1.0f, 0.0f);
    }
    m.lineVertices = static_cast<GLint>(marks.lines.size() * 2);
    m.clippedPoints = m.unclippedPoints = 0;
    for (bool unclipped : {false, true}) {
      for (const PointMark& point : marks.points) {
        if (point.unclipped == unclipped) {
          vertex(point.position, point.colour, static_cast<float>(point.pixels), point.round ? 1.0f : 0.0f);
          ++(unclipped ? m.unclippedPoints : m.clippedPoints);
          largestPoint_ = std::max(largestPoint_, static_cast<float>(point.pixels));
        }
      }
    }
    Refill(gl, GL_ARRAY_BUFFER, m.buffers[1], m.sizes[1], vertices);
  }
  gl.BindVertexArray(0);
}

void ViewportRenderer::DrawBackground(const ViewRegion& region) {
  const GlFunctions& gl = gl_;
  const auto fill = [&] {
    gl.Viewport(0, 0, region.partWidth, region.partHeight);
    gl.BindVertexArray(gpu_->vertexArray);
    gl.Disable(GL_DEPTH_TEST);
    gl.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl.ClearDepth(1.0);
    gl.DepthMask(GL_TRUE);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Program& background = programs_->background;
    background.Use();
    gl.Uniform2f(background.Uniform("uPart"), static_cast<float>(region.partHeight) / static_cast<float>(region.height),
                 static_cast<float>(region.y) / static_cast<float>(region.height));
    gl.DrawArrays(GL_TRIANGLES, 0, 3);
  };
  const std::array<int, 4> key = {region.partWidth, region.partHeight, region.height, region.y};
  if (key != backgroundRegion_) {
    // A new region: drawn straight, as the parts of a picture always are.
    backgroundRegion_ = key;
    background_.reset();
    fill();
    return;
  }
  GLint target = 0;
  gl.GetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
  if (background_ == nullptr) {
    background_ = std::make_unique<Framebuffer>(gl, region.partWidth, region.partHeight);
    background_->Bind();
    fill();
  }
  background_->CopyTo(static_cast<GLuint>(target), 0, 0);
  gl.Viewport(0, 0, region.partWidth, region.partHeight);
  gl.BindVertexArray(gpu_->vertexArray);
  gl.ClearDepth(1.0);
  gl.DepthMask(GL_TRUE);
  gl.Clear(GL_DEPTH_BUFFER_BIT);
}

void ViewportRenderer::Draw(const Camera& camera, const ViewRegion& region) {
  const GlFunctions& gl = gl_;
  DrawBackground(region);

  gl.Enable(GL_DEPTH_TEST);
  gl.DepthFunc(GL_LEQUAL);
  gl.Enable(GL_PROGRAM_POINT_SIZE);
  const Mat4 viewProjection = Multiply(PartOfView(region), camera.ViewProjection());
  // A software renderer fills the pixels on threads of its own once the commands are
  // flushed: flushed in parts, the surfaces are filled while the lines are handed over, and
  // the lines while the marks are.
  DrawMeshes(viewProjection, camera);
  gl.Flush();
  DrawLines(viewProjection, region.pixelScale);
  gl.Flush();
  DrawMarks(0, viewProjection, camera, region.pixelScale);
  // Handles stay visible wherever they are, as in any viewport.
  gl.Disable(GL_DEPTH_TEST);
  DrawMarks(1, viewProjection, camera, region.pixelScale);
  gl.Enable(GL_DEPTH_TEST);
  gl.BindVertexArray(0);

  const GLenum error = gl.GetError();
  if (error != GL_NO_ERROR) {
    char code[16];
    std::snprintf(code, sizeof(code), "0x%04x", static_cast<unsigned>(error));
    throw Failure(std::string("cannot draw the picture: OpenGL error ") + code);
  }
}

void ViewportRenderer::DrawMeshes(const Mat4& viewProjection, const Camera& camera) {
  const GlFunctions& gl = gl_;
  const Program& program = programs_->surface;
  program.Use();
  program.Set("uViewProjection", viewProjection);
  program.Set("uView", camera.View());
  program.Set("uParallel", camera.IsParallel() ? 1.0f : 0.0f);
  gl.VertexAttrib3f(kCentre, 0.0f, 0.0f, 0.0f);
  gl.VertexAttrib3f(kRadii, 1.0f, 1.0f, 1.0f);
  // Surfaces step back a little, so lines and marks lying on them stay in front.
  gl.Enable(GL_POLYGON_OFFSET_FILL);
  gl.PolygonOffset(1.0f, 2.0f);
  for (const Gpu::Mesh& mesh : gpu_->meshes) {
    program.Set("uModel", mesh.model);
    program.Set("uNormalMatrix", mesh.normalMatrix);
    gl.BindBuffer(GL_ARRAY_BUFFER, mesh.buffers[0]);
    Attribute(gl, kPosition, 3);
    gl.BindBuffer(GL_ARRAY_BUFFER, mesh.buffers[1]);
    Attribute(gl, kNormal, 3);
    if (mesh.vertexColours) {
      gl.BindBuffer(GL_ARRAY_BUFFER, mesh.buffers[2]);
      Attribute(gl, kColour, 4);
    } else {
      gl.DisableVertexAttribArray(kColour);
      gl.VertexAttrib4f(kColour, static_cast<float>(mesh.colour.x), static_cast<float>(mesh.colour.y),
                        static_cast<float>(mesh.colour.z), 1.0f);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.buffers[3]);
    gl.DrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
  }
  gl.Disable(GL_POLYGON_OFFSET_FILL);
  for (GLuint location : {kPosition, kNormal, kColour}) {
    gl.DisableVertexAttribArray(location);
  }
}

void ViewportRenderer::DrawLines(const Mat4& viewProjection, float pixelScale) {
  const GlFunctions& gl = gl_;
  const Program& program = programs_->line;
  program.Use();
  program.Set("uViewProjection", viewProjection);
  gl.LineWidth(kLinePixels * pixelScale);
  for (const Gpu::Lines& lines : gpu_->lines) {
    program.Set("uModel", lines.model);
    gl.Uniform4f(program.Uniform("uColour"), static_cast<float>(lines.colour.x), static_cast<float>(lines.colour.y),
                 static_cast<float>(lines.colour.z), 1.0f);
    gl.BindBuffer(GL_ARRAY_BUFFER, lines.buffers[0]);
    Attribute(gl, kPosition, 3);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, lines.buffers[1]);
    gl.DrawElements(GL_LINES, lines.indexCount, GL_UNSIGNED_INT, nullptr);
  }
  gl.DisableVertexAttribArray(kPosition);
}

void ViewportRenderer::DrawMarks(int pass, const Mat4& viewProjection, const Camera& camera, float pixelScale) {
  const GlFunctions& gl = gl_;
  const Gpu::Marks& marks = gpu_->marks[pass];
  if (marks.spheres > 0) {
    const Program& program = programs_->surface;
    program.Use();
    program.Set("uViewProjection", viewProjection);
    program.Set("uView", camera.View());
    program.Set("uParallel", camera.IsParallel() ? 1.0f : 0.0f);
    program.Set("uModel", kIdentity);
    program.Set("uNormalMatrix", kIdentity3);
    // The detail the largest sphere on screen needs serves them all.
    float largest = 0.0f;
    for (const SphereMark& sphere : marks.sphereMarks) {
      const Float radius = std::max({std::abs(sphere.radii.x), std::abs(sphere.radii.y), std::abs(sphere.radii.z)});
      const Vector centre = camera.Project(sphere.centre);
      const Vector rim = camera.Project(sphere.centre + camera.Up() * radius);
      largest = std::max(largest, static_cast<float>(Vector(rim.x - centre.x, rim.y - centre.y, 0.0).GetLength()));
    }
    int level = 0;
    while (level + 1 < kSphereLevels && largest * pixelScale > kSphereDetails[level].upToPixels) {
      ++level;
    }
    gl.BindBuffer(GL_ARRAY_BUFFER, gpu_->sphere[level][0]);
    Attribute(gl, kPosition, 3);
    Attribute(gl, kNormal, 3);
    gl.BindBuffer(GL_ARRAY_BUFFER, marks.buffers[0]);
    Attribute(gl, kCentre, 3, 10, 0);
    Attribute(gl, kRadii, 3, 10, 3);
    Attribute(gl, kColour, 4, 10, 6);
    for (GLuint location : {kCentre, kRadii, kColour}) {
      gl.VertexAttribDivisor(location, 1);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu_->sphere[level][1]);
    gl.DrawElementsInstanced(GL_TRIANGLES, gpu_->sphereIndexCount[level], GL_UNSIGNED_INT, nullptr, marks.spheres);
    for (GLuint location : {kCentre, kRadii, kColour}) {
      gl.VertexAttribDivisor(location, 0);
    }
    for (GLuint location : {kPosition, kNormal, kCentre, kRadii, kColour}) {
      gl.DisableVertexAttribArray(location);
    }
    gl.VertexAttrib3f(kCentre, 0.0f, 0.0f, 0.0f);
    gl.VertexAttrib3f(kRadii, 1.0f, 1.0f, 1.0f);
  }
  if (marks.lineVertices + marks.clippedPoints + marks.unclippedPoints == 0) {
    return;
  }
  const Program& program = programs_->flat;
  program.Use();
  program.Set("uViewProjection", viewProjection);
  program.Set("uModel", kIdentity);
  program.Set("uPixelScale", pixelScale);
  gl.LineWidth(pixelScale);
  gl.BindBuffer(GL_ARRAY_BUFFER, marks.buffers[1]);
  Attribute(gl, kPosition, 3, 9, 0);
  Attribute(gl, kColour, 4, 9, 3);
  Attribute(gl, kPoint, 2, 9, 7);
  gl.DrawArrays(GL_LINES, 0, marks.lineVertices);
  gl.DrawArrays(GL_POINTS, marks.lineVertices, marks.clippedPoints);
  gl.Enable(GL_DEPTH_CLAMP);
  gl.DrawArrays(GL_POINTS, marks.lineVertices + marks.clippedPoints, marks.unclippedPoints);
  gl.Disable(GL_DEPTH_CLAMP);
  for (GLuint location : {kPosition, kColour, kPoint}) {
    gl.DisableVertexAttribArray(location);
  }
}

}  // namespace vantelle::app
