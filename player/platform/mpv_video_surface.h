// The video picture: mpv's render API drawing into a native child window of
// its own. Drawn and presented by itself, the picture costs what it costs in
// mpv's own window: no composition of the whole main window with every frame,
// as an OpenGL widget inside a raster window needs.
#pragma once

#include <QPoint>
#include <QWindow>

struct mpv_handle;
struct mpv_render_context;
class QOpenGLContext;

namespace vortaq {

class MpvVideoSurface : public QWindow {
  Q_OBJECT
 public:
  explicit MpvVideoSurface(mpv_handle* mpv);
  ~MpvVideoSurface() override;
  bool ready() const { return render_ != nullptr; }

 signals:
  void Ready();
  void DoubleClicked();
  // The mouse rests over the picture (for the hint), in global coordinates.
  void Hovered(const QPoint& global);
  void Left();
  // Drags and drops over the picture, for the window that takes them.
  void DragEvent(QEvent* event);

 protected:
  void exposeEvent(QExposeEvent* event) override;
  bool event(QEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private slots:
  void RenderUpdate();

 private:
  bool Initialize();
  void Render();
  void FreeRenderContext();

  mpv_handle* mpv_;
  QOpenGLContext* context_ = nullptr;
  mpv_render_context* render_ = nullptr;
};

// Whether the platform can give the surface an OpenGL context at all (the
// offscreen platform cannot).
bool OpenGLAvailable();

}  // namespace vortaq
