#include "app/gl_view.h"

#include <GL/gl.h>
#include <gtk/gtk.h>
#include <wx/dcclient.h>

#include "app/app_globals.h"
#include "core/log.h"
#include "render/renderer.h"

namespace {

// Colour, a depth buffer and double buffering, asked for explicitly: the
// library's default pixel format on GTK has no depth buffer.
wxGLAttributes gl_ViewAttributes() {
  wxGLAttributes attributes;
  attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(16).EndList();
  return attributes;
}

}  // namespace

wxBEGIN_EVENT_TABLE(GLView, wxGLCanvas)
  EVT_SIZE(GLView::OnSize)
  EVT_PAINT(GLView::OnPaint)
  EVT_ERASE_BACKGROUND(GLView::OnEraseBackground)
  EVT_ENTER_WINDOW(GLView::OnEnterWindow)
  EVT_IDLE(GLView::OnIdle)
wxEND_EVENT_TABLE()

GLView::GLView(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
               const wxString& name)
    : wxGLCanvas(parent, gl_ViewAttributes(), id, pos, size, style, name),
      width(size.x),
      height(size.y),
      projectionFitted_(false),
      paintCycle_(-1) {
  // A GLX context is made current on an X window, which GTK creates only
  // when the widget is realized; realizing the canvas realizes its parents
  // up to the frame, which stays hidden until the application shows it.
  gtk_widget_realize(m_wxwindow);
  context_ = std::make_unique<wxGLContext>(this);
  if (!context_->IsOK()) {
    LogPrintf("GLView: cannot create an OpenGL context; nothing will be drawn");
    context_.reset();
    return;
  }
  if (!MakeCurrent()) {
    LogPrintf("GLView: cannot make the OpenGL context current; nothing will be drawn");
    context_.reset();
  }
}

GLView::~GLView() = default;

bool GLView::MakeCurrent() {
  // Without a native window wxGLContext::SetCurrent would fail an assertion.
  if (context_ == nullptr || GetXWindow() == 0) return false;
  return context_->SetCurrent(*this);
}

void GLView::Render() {
  if (!g_renderEnabled || context_ == nullptr) return;
  if (!MakeCurrent()) return;
  if (!projectionFitted_ && width > 0 && height > 0) {
    // Start-up set the projection before the window had its size: it is
    // made again, once, for the size at which the view first draws.
    glViewport(0, 0, width, height);
    RenderProjection();
    projectionFitted_ = true;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  GlobalUpdate();
  glFlush();
  SwapBuffers();
}

void GLView::OnSize(wxSizeEvent& /*event*/) {
  const wxSize client = GetClientSize();
  width = client.x;
  height = client.y;
  if (MakeCurrent()) glViewport(0, 0, width, height);
}

void GLView::OnPaint(wxPaintEvent& /*event*/) {
  // The paint device context ends the platform's paint request.
  wxPaintDC dc(this);
  // GTK may ask the view to paint twice in one of its paint cycles (it does
  // when the window first shows: once with the frame, once for the view's
  // own window). One frame per cycle: a second would keep a close request or
  // a signal that came during the first waiting for another whole frame.
  GdkFrameClock* clock = gtk_widget_get_frame_clock(m_wxwindow);
  if (clock != nullptr) {
    const int64_t cycle = gdk_frame_clock_get_frame_counter(clock);
    if (cycle == paintCycle_) return;
    paintCycle_ = cycle;
  }
  Render();
}

void GLView::OnEraseBackground(wxEraseEvent& /*event*/) {
  // Never erased: the frame covers the whole view, and resizing does not
  // flicker.
}

void GLView::OnEnterWindow(wxMouseEvent& event) {
  SetFocus();
  // The application object sees the view's mouse events too.
  event.Skip();
}

void GLView::OnIdle(wxIdleEvent& event) {
  Render();
  event.RequestMore(true);
}
