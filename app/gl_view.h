#pragma once

#include <wx/glcanvas.h>

#include <cstdint>
#include <memory>

// The 3-D view: an OpenGL canvas in the left pane of the main frame's inner
// splitter, owner of the GL context in which everything is drawn, and the
// frame loop of the program: every idle event renders one frame and asks for
// the next idle event at once, so frames follow each other without pause.
// Paint events render a frame too, one per paint cycle of GTK; size events
// only set the viewport (the projection keeps the aspect ratio of start-up).
// The view has no key or mouse handlers of its own: those events go on to the
// application object.
// GUI thread only.
class GLView : public wxGLCanvas {
 public:
  // Creates the canvas with an RGBA pixel format with a depth buffer (at
  // least 16 bits) and double buffering, then makes its OpenGL context
  // current at once, so that start-up can set up OpenGL and load the scene
  // before the frame is shown. On GTK the canvas needs a native window for that, so the
  // canvas and its parents up to the frame are realized here. When no context
  // can be made current a line is logged and the view never draws.
  // `width` and `height` start as the given size (-1 for the default size).
  GLView(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
         const wxString& name);
  ~GLView() override;
  GLView(const GLView&) = delete;
  GLView& operator=(const GLView&) = delete;

  // One frame: nothing until g_renderEnabled is set and the view has a
  // context; then makes the context current, clears colour and depth,
  // selects the model-view matrix, runs GlobalUpdate, flushes and swaps.
  // The first frame drawn at a known size (width and height above 0) first
  // sets the projection for that size (RenderProjection): start-up runs
  // before the window has its real size.
  void Render();

  // True when the view has a GL context (and so can draw).
  bool HasContext() const { return context_ != nullptr; }

  int width;   // client width in pixels as last seen by the size handler
  int height;  // client height in pixels, likewise

 private:
  // Makes the context current on this canvas; false when there is no
  // context or the canvas has no native window (not realized).
  bool MakeCurrent();

  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent& event);
  void OnEnterWindow(wxMouseEvent& event);
  void OnIdle(wxIdleEvent& event);

  std::unique_ptr<wxGLContext> context_;
  bool projectionFitted_;  // the projection has the view's real aspect ratio
  int64_t paintCycle_;     // GTK's paint cycle in which a paint last rendered

  wxDECLARE_EVENT_TABLE();
};
