#include "app/render/viewport_renderer.h"

#include <cmath>
#include <cstdio>
#include <string>
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

// Lines and points in flat colours; points are round dots or square handles.
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

// The background: a dark gradient, lighter at the top.
constexpr const char* kBackgroundVertex = R"(#version 330 core
out float vHeight;
void main() {
  vec2 corner = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
  gl_Position = vec4(corner, 0.0, 1.0);
  vHeight = corner.y * 0.5 + 0.5;
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
// Segments of the sphere drawn for sphere marks: round enough at marker sizes.
constexpr int kSphereSlices = 16;
constexpr int kSphereStacks = 10;

Mat4 ToMat4(const Matrix& m) {
  return {static_cast<float>(m.v1.x), static_cast<float>(m.v1.y), static_cast<float>(m.v1.z), 0.0f,
          static_cast<float>(m.v2.x), static_cast<float>(m.v2.y), static_cast<float>(m.v2.z), 0.0f,
          static_cast<float>(m.v3.x), static_cast<float>(m.v3.y), static_cast<float>(m.v3.z), 0.0f,
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

class Program {
public:
  Program(const GlFunctions& gl, const char* vertex, const char* fragment, const char* name) : gl_(gl) {
    const GLuint vs = Compile(GL_VERTEX_SHADER, vertex, name);
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, fragment, name);
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
  explicit Programs(const GlFunctions& gl)
      : surface(gl, kSurfaceVertex, kSurfaceFragment, "surface"),
        flat(gl, kFlatVertex, kFlatFragment, "line"),
        background(gl, kBackgroundVertex, kBackgroundFragment, "background") {}
};

ViewportRenderer::ViewportRenderer(const GlFunctions& gl) : gl_(gl) {
  programs_ = new Programs(gl);
  gl.GenVertexArrays(1, &vertexArray_);
  gl.GenBuffers(4, buffers_);
  gl.GenBuffers(2, sphereBuffers_);

  // A unit sphere whose positions are also its normals.
  std::vector<float> points;
  std::vector<GLuint> indices;
  for (int stack = 0; stack <= kSphereStacks; ++stack) {
    const double theta = PI * stack / kSphereStacks;
    for (int slice = 0; slice <= kSphereSlices; ++slice) {
      const double phi = 2.0 * PI * slice / kSphereSlices;
      Append(points, Vector(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)));
    }
  }
  for (int stack = 0; stack < kSphereStacks; ++stack) {
    for (int slice = 0; slice < kSphereSlices; ++slice) {
      const auto a = static_cast<GLuint>(stack * (kSphereSlices + 1) + slice);
      const GLuint b = a + kSphereSlices + 1;
      indices.insert(indices.end(), {a, b, a + 1, a + 1, b, b + 1});
    }
  }
  sphereIndexCount_ = static_cast<int>(indices.size());
  gl.BindBuffer(GL_ARRAY_BUFFER, sphereBuffers_[0]);
  gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)), points.data(), GL_STATIC_DRAW);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, sphereBuffers_[1]);
  gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
                GL_STATIC_DRAW);
}

ViewportRenderer::~ViewportRenderer() {
  gl_.DeleteBuffers(2, sphereBuffers_);
  gl_.DeleteBuffers(4, buffers_);
  gl_.DeleteVertexArrays(1, &vertexArray_);
  delete programs_;
}

void ViewportRenderer::Render(const ViewportScene& scene, const Camera& camera, int width, int height,
                              float pixelScale) {
  const GlFunctions& gl = gl_;
  gl.Viewport(0, 0, width, height);
  gl.BindVertexArray(vertexArray_);
  gl.Disable(GL_DEPTH_TEST);
  gl.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  gl.ClearDepth(1.0);
  gl.DepthMask(GL_TRUE);
  gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  programs_->background.Use();
  gl.DrawArrays(GL_TRIANGLES, 0, 3);

  gl.Enable(GL_DEPTH_TEST);
  gl.DepthFunc(GL_LEQUAL);
  gl.Enable(GL_PROGRAM_POINT_SIZE);
  const Mat4 viewProjection = camera.ViewProjection();
  DrawMeshes(scene, viewProjection, camera);
  DrawLines(scene, viewProjection, pixelScale);
  DrawMarks(scene.objectPass, viewProjection, camera, pixelScale);
  // Handles stay visible wherever they are, as in any viewport.
  gl.Disable(GL_DEPTH_TEST);
  DrawMarks(scene.handlesPass, viewProjection, camera, pixelScale);
  gl.Enable(GL_DEPTH_TEST);
  gl.BindVertexArray(0);

  const GLenum error = gl.GetError();
  if (error != GL_NO_ERROR) {
    char code[16];
    std::snprintf(code, sizeof(code), "0x%04x", static_cast<unsigned>(error));
    throw Failure(std::string("cannot draw the picture: OpenGL error ") + code);
  }
}

void ViewportRenderer::DrawMeshes(const ViewportScene& scene, const Mat4& viewProjection, const Camera& camera) {
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
  for (const SceneMesh& mesh : scene.meshes) {
    const MeshArrays& a = mesh.arrays;
    program.Set("uModel", ToMat4(mesh.model));
    program.Set("uNormalMatrix", NormalMatrix(mesh.model));
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.positions.size() * sizeof(float)), a.positions.data(),
                  GL_STREAM_DRAW);
    gl.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.EnableVertexAttribArray(kPosition);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.normals.size() * sizeof(float)), a.normals.data(),
                  GL_STREAM_DRAW);
    gl.VertexAttribPointer(kNormal, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.EnableVertexAttribArray(kNormal);
    if (!a.colours.empty()) {
      gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[2]);
      gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.colours.size() * sizeof(float)), a.colours.data(),
                    GL_STREAM_DRAW);
      gl.VertexAttribPointer(kColour, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
      gl.EnableVertexAttribArray(kColour);
    } else {
      gl.DisableVertexAttribArray(kColour);
      gl.VertexAttrib4f(kColour, static_cast<float>(mesh.colour.x), static_cast<float>(mesh.colour.y),
                        static_cast<float>(mesh.colour.z), 1.0f);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[3]);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(a.indices.size() * sizeof(UInt32)),
                  a.indices.data(), GL_STREAM_DRAW);
    gl.DrawElements(GL_TRIANGLES, static_cast<GLsizei>(a.indices.size()), GL_UNSIGNED_INT, nullptr);
  }
  gl.Disable(GL_POLYGON_OFFSET_FILL);
  gl.DisableVertexAttribArray(kPosition);
  gl.DisableVertexAttribArray(kNormal);
  gl.DisableVertexAttribArray(kColour);
}

void ViewportRenderer::DrawLines(const ViewportScene& scene, const Mat4& viewProjection, float pixelScale) {
  const GlFunctions& gl = gl_;
  const Program& program = programs_->flat;
  program.Use();
  program.Set("uViewProjection", viewProjection);
  program.Set("uPixelScale", pixelScale);
  gl.LineWidth(kLinePixels * pixelScale);
  gl.VertexAttrib4f(kPoint, 1.0f, 0.0f, 0.0f, 1.0f);
  for (const SceneLines& lines : scene.lines) {
    program.Set("uModel", ToMat4(lines.model));
    gl.VertexAttrib4f(kColour, static_cast<float>(lines.colour.x), static_cast<float>(lines.colour.y),
                      static_cast<float>(lines.colour.z), 1.0f);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lines.positions.size() * sizeof(float)),
                  lines.positions.data(), GL_STREAM_DRAW);
    gl.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.EnableVertexAttribArray(kPosition);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[3]);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(lines.pairs.size() * sizeof(UInt32)),
                  lines.pairs.data(), GL_STREAM_DRAW);
    gl.DrawElements(GL_LINES, static_cast<GLsizei>(lines.pairs.size()), GL_UNSIGNED_INT, nullptr);
  }
  gl.DisableVertexAttribArray(kPosition);
}

void ViewportRenderer::DrawMarks(const ViewMarks& marks, const Mat4& viewProjection, const Camera& camera,
                                 float pixelScale) {
  const GlFunctions& gl = gl_;
  if (!marks.spheres.empty()) {
    // One instance per sphere: centre, radii, colour.
    std::vector<float> instances;
    instances.reserve(marks.spheres.size() * 10);
    for (const SphereMark& s : marks.spheres) {
      Append(instances, s.centre);
      Append(instances, s.radii);
      Append(instances, s.colour);
      instances.push_back(1.0f);
    }
    const Program& program = programs_->surface;
    program.Use();
    program.Set("uViewProjection", viewProjection);
    program.Set("uView", camera.View());
    program.Set("uParallel", camera.IsParallel() ? 1.0f : 0.0f);
    program.Set("uModel", kIdentity);
    program.Set("uNormalMatrix", kIdentity3);
    gl.BindBuffer(GL_ARRAY_BUFFER, sphereBuffers_[0]);
    gl.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.VertexAttribPointer(kNormal, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.EnableVertexAttribArray(kPosition);
    gl.EnableVertexAttribArray(kNormal);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(instances.size() * sizeof(float)), instances.data(),
                  GL_STREAM_DRAW);
    constexpr GLsizei stride = 10 * sizeof(float);
    const GLuint perInstance[3] = {kCentre, kRadii, kColour};
    const GLint sizes[3] = {3, 3, 4};
    std::size_t offset = 0;
    for (int i = 0; i < 3; ++i) {
      gl.VertexAttribPointer(perInstance[i], sizes[i], GL_FLOAT, GL_FALSE, stride,
                             reinterpret_cast<const void*>(offset * sizeof(float)));
      gl.VertexAttribDivisor(perInstance[i], 1);
      gl.EnableVertexAttribArray(perInstance[i]);
      offset += static_cast<std::size_t>(sizes[i]);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, sphereBuffers_[1]);
    gl.DrawElementsInstanced(GL_TRIANGLES, sphereIndexCount_, GL_UNSIGNED_INT, nullptr,
                             static_cast<GLsizei>(marks.spheres.size()));
    for (GLuint location : perInstance) {
      gl.VertexAttribDivisor(location, 0);
      gl.DisableVertexAttribArray(location);
    }
    gl.DisableVertexAttribArray(kPosition);
    gl.DisableVertexAttribArray(kNormal);
  }

  if (marks.lines.empty() && marks.points.empty()) {
    return;
  }
  // Lines, then points clipped by depth, then points that are not: position, colour and
  // point data per vertex.
  std::vector<float> vertices;
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
  GLint clipped = 0;
  for (bool unclipped : {false, true}) {
    for (const PointMark& point : marks.points) {
      if (point.unclipped == unclipped) {
        vertex(point.position, point.colour, static_cast<float>(point.pixels), point.round ? 1.0f : 0.0f);
        clipped += unclipped ? 0 : 1;
      }
    }
  }
  const Program& program = programs_->flat;
  program.Use();
  program.Set("uViewProjection", viewProjection);
  program.Set("uModel", kIdentity);
  program.Set("uPixelScale", pixelScale);
  gl.LineWidth(pixelScale);
  gl.BindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
  gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                GL_STREAM_DRAW);
  constexpr GLsizei stride = 9 * sizeof(float);
  gl.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  gl.VertexAttribPointer(kColour, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(3 * sizeof(float)));
  gl.VertexAttribPointer(kPoint, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(7 * sizeof(float)));
  for (GLuint location : {kPosition, kColour, kPoint}) {
    gl.EnableVertexAttribArray(location);
  }
  const auto lineVertices = static_cast<GLint>(marks.lines.size() * 2);
  gl.DrawArrays(GL_LINES, 0, lineVertices);
  gl.DrawArrays(GL_POINTS, lineVertices, clipped);
  gl.Enable(GL_DEPTH_CLAMP);
  gl.DrawArrays(GL_POINTS, lineVertices + clipped, static_cast<GLint>(marks.points.size()) - clipped);
  gl.Disable(GL_DEPTH_CLAMP);
  for (GLuint location : {kPosition, kColour, kPoint}) {
    gl.DisableVertexAttribArray(location);
  }
}

}  // namespace vantelle::app
