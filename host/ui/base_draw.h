// Viewport drawing for object plug-ins: what ObjectData::Draw is handed. The host draws
// every pass through a BaseDraw; a picture renderer, an interactive view and a recorder
// for tests each implement it.
#pragma once

#include "host/scene/objects.h"

// Kinds of handle point DrawHandle draws. MIDDLE is the host's own handle style.
enum class DRAWHANDLE : Int32 {
  MIDDLE = 2,  // the host's handle: a square of 7 pixels
  BIG = 3,     // a plug-in's handle: a square of 9 pixels
  CUSTOM = 4,  // a round mark of the current point size (SetPointSize)
};

// Flag of DrawHandle: the mark is not clipped by the view's near and far planes.
inline constexpr Int32 NOCLIP_D = 2048;

// Colours of the host's viewport, for GetViewColor.
inline constexpr Int32 VIEWCOLOR_ACTIVEPOINT = 12;        // a handle
inline constexpr Int32 VIEWCOLOR_SELECTION_PREVIEW = 47;  // the handle under the cursor

// The colour the viewport uses for `colid`; a neutral grey for any other ID.
Vector GetViewColor(Int32 colid);

// The drawing surface of one view. Positions are given in the space SetMatrix_Matrix
// names, colours as RGB 0..1; the calls are drawn in the order they come, with the
// current pen and point size.
class BaseDraw {
public:
  virtual ~BaseDraw() = default;

  // What follows is in the space of `op`, whose global matrix is `mg`.
  virtual void SetMatrix_Matrix(BaseObject* op, const Matrix& mg) = 0;
  // The colour of points and lines that follow.
  virtual void SetPen(const Vector& col, Int32 flags = 0) = 0;
  // The diameter in pixels of DRAWHANDLE::CUSTOM marks that follow.
  virtual void SetPointSize(Float pointsize) = 0;
  virtual void DrawHandle(const Vector& vp, DRAWHANDLE type, Int32 flags) = 0;
  // A shaded sphere at `off` with radii `size`, in `col`.
  virtual void DrawSphere(const Vector& off, const Vector& size, const Vector& col, Int32 flags) = 0;
  // A line of the pen's colour, one pixel wide.
  virtual void DrawLine(const Vector& p1, const Vector& p2, Int32 flags) = 0;

  // The handle of `op` under the cursor, or -1. A view without a cursor has none.
  Int32 GetHighlightHandle(const BaseObject* op) const {
    return op != nullptr && op == highlightObject_ ? highlightHandle_ : -1;
  }
  // Host side: the view says which handle the cursor is over (-1 or a null object: none).
  void SetHighlightHandle(const BaseObject* op, Int32 index) {
    highlightObject_ = op;
    highlightHandle_ = index;
  }

private:
  const BaseObject* highlightObject_ = nullptr;
  Int32 highlightHandle_ = -1;
};

// What the host knows of the object being drawn.
class BaseDrawHelp {
public:
  // Takes the object's global matrix now, as the view draws it.
  BaseDrawHelp(BaseDraw* bd, const BaseObject* op);
  BaseDraw* GetBd() const { return bd_; }
  const Matrix& GetMg() const { return mg_; }

private:
  BaseDraw* bd_;
  Matrix mg_;
};
