// The OpenGL 3.3 core functions the viewport renderer calls, loaded through whichever
// context is current (an offscreen one for pictures, a window's for an interactive
// view), so the renderer never depends on how its context was made.
#pragma once

#include <GL/glcorearb.h>

#include <functional>
#include <string>

namespace vantelle::app {

#define VANTELLE_GL_FUNCTIONS(X)                        \
  X(GETSTRING, GetString)                               \
  X(GETERROR, GetError)                                 \
  X(GETINTEGERV, GetIntegerv)                           \
  X(VIEWPORT, Viewport)                                 \
  X(CLEARCOLOR, ClearColor)                             \
  X(CLEARDEPTH, ClearDepth)                             \
  X(CLEAR, Clear)                                       \
  X(ENABLE, Enable)                                     \
  X(DISABLE, Disable)                                   \
  X(DEPTHFUNC, DepthFunc)                               \
  X(DEPTHMASK, DepthMask)                               \
  X(POLYGONOFFSET, PolygonOffset)                       \
  X(LINEWIDTH, LineWidth)                               \
  X(FINISH, Finish)                                     \
  X(FLUSH, Flush)                                       \
  X(PIXELSTOREI, PixelStorei)                           \
  X(READPIXELS, ReadPixels)                             \
  X(CREATESHADER, CreateShader)                         \
  X(SHADERSOURCE, ShaderSource)                         \
  X(COMPILESHADER, CompileShader)                       \
  X(GETSHADERIV, GetShaderiv)                           \
  X(GETSHADERINFOLOG, GetShaderInfoLog)                 \
  X(DELETESHADER, DeleteShader)                         \
  X(CREATEPROGRAM, CreateProgram)                       \
  X(ATTACHSHADER, AttachShader)                         \
  X(BINDATTRIBLOCATION, BindAttribLocation)             \
  X(LINKPROGRAM, LinkProgram)                           \
  X(GETPROGRAMIV, GetProgramiv)                         \
  X(GETPROGRAMINFOLOG, GetProgramInfoLog)               \
  X(DELETEPROGRAM, DeleteProgram)                       \
  X(USEPROGRAM, UseProgram)                             \
  X(GETUNIFORMLOCATION, GetUniformLocation)             \
  X(UNIFORMMATRIX4FV, UniformMatrix4fv)                 \
  X(UNIFORMMATRIX3FV, UniformMatrix3fv)                 \
  X(UNIFORM1F, Uniform1f)                               \
  X(UNIFORM2F, Uniform2f)                               \
  X(UNIFORM4F, Uniform4f)                               \
  X(GENVERTEXARRAYS, GenVertexArrays)                   \
  X(BINDVERTEXARRAY, BindVertexArray)                   \
  X(DELETEVERTEXARRAYS, DeleteVertexArrays)             \
  X(GENBUFFERS, GenBuffers)                             \
  X(BINDBUFFER, BindBuffer)                             \
  X(BUFFERDATA, BufferData)                             \
  X(BUFFERSUBDATA, BufferSubData)                       \
  X(PRIMITIVERESTARTINDEX, PrimitiveRestartIndex)       \
  X(DELETEBUFFERS, DeleteBuffers)                       \
  X(ENABLEVERTEXATTRIBARRAY, EnableVertexAttribArray)   \
  X(DISABLEVERTEXATTRIBARRAY, DisableVertexAttribArray) \
  X(VERTEXATTRIBPOINTER, VertexAttribPointer)           \
  X(VERTEXATTRIB3F, VertexAttrib3f)                     \
  X(VERTEXATTRIB4F, VertexAttrib4f)                     \
  X(VERTEXATTRIBDIVISOR, VertexAttribDivisor)           \
  X(DRAWARRAYS, DrawArrays)                             \
  X(DRAWELEMENTS, DrawElements)                         \
  X(DRAWELEMENTSINSTANCED, DrawElementsInstanced)       \
  X(GENFRAMEBUFFERS, GenFramebuffers)                   \
  X(BINDFRAMEBUFFER, BindFramebuffer)                   \
  X(BLITFRAMEBUFFER, BlitFramebuffer)                   \
  X(DELETEFRAMEBUFFERS, DeleteFramebuffers)             \
  X(FRAMEBUFFERRENDERBUFFER, FramebufferRenderbuffer)   \
  X(CHECKFRAMEBUFFERSTATUS, CheckFramebufferStatus)     \
  X(GENRENDERBUFFERS, GenRenderbuffers)                 \
  X(BINDRENDERBUFFER, BindRenderbuffer)                 \
  X(DELETERENDERBUFFERS, DeleteRenderbuffers)           \
  X(RENDERBUFFERSTORAGE, RenderbufferStorage)

// Function pointers, named as the GL functions without their "gl" prefix.
struct GlFunctions {
#define VANTELLE_GL_MEMBER(upper, name) PFNGL##upper##PROC name = nullptr;
  VANTELLE_GL_FUNCTIONS(VANTELLE_GL_MEMBER)
#undef VANTELLE_GL_MEMBER

  using Proc = void (*)();
  using ProcAddress = std::function<Proc(const char* name)>;
  // Loads every function through `lookup`. False, with the first missing function's name
  // in `missing`, when the context lacks one.
  bool Load(const ProcAddress& lookup, std::string& missing);
};

}  // namespace vantelle::app
