// The video picture: mpv's render API drawing into a QOpenGLWidget.
#pragma once

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace vortaq {

class MpvVideoSurface : public QOpenGLWidget {
  Q_OBJECT
 public:
  MpvVideoSurface(mpv_handle* mpv, QWidget* parent);
  ~MpvVideoSurface() override;
  bool ready() const { return render_ != nullptr; }

 signals:
  void Ready();
  void DoubleClicked();

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private slots:
  void RenderUpdate();

 private:
  void FreeRenderContext();

  mpv_handle* mpv_;
  mpv_render_context* render_ = nullptr;
};

// Whether the platform can give the surface an OpenGL context at all (the
// offscreen platform cannot, and a QOpenGLWidget would crash there).
bool OpenGLAvailable();

}  // namespace vortaq
