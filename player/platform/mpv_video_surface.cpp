#include "mpv_video_surface.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOffscreenSurface>

namespace vortaq {

namespace {

void* GetProcAddress(void*, const char* name) {
  QOpenGLContext* context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

void OnRenderUpdate(void* surface) {
  // Called on an engine thread: only queue the repaint.
  QMetaObject::invokeMethod(static_cast<MpvVideoSurface*>(surface), "RenderUpdate",
                            Qt::QueuedConnection);
}

}  // namespace

bool OpenGLAvailable() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  QOpenGLContext context;
  return context.create();
}

MpvVideoSurface::MpvVideoSurface(mpv_handle* mpv, QWidget* parent)
    : QOpenGLWidget(parent), mpv_(mpv) {}

MpvVideoSurface::~MpvVideoSurface() {
  makeCurrent();
  FreeRenderContext();
  doneCurrent();
}

void MpvVideoSurface::FreeRenderContext() {
  if (!render_) return;
  mpv_render_context_set_update_callback(render_, nullptr, nullptr);
  mpv_render_context_free(render_);
  render_ = nullptr;
}

void MpvVideoSurface::initializeGL() {
  if (render_) return;
  mpv_opengl_init_params gl{GetProcAddress, nullptr};
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
      {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&render_, mpv_, params) < 0) {
    render_ = nullptr;
    return;
  }
  mpv_render_context_set_update_callback(render_, OnRenderUpdate, this);
  // The context goes away before the widget when the window is torn down.
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    FreeRenderContext();
    doneCurrent();
  });
  emit Ready();
}

void MpvVideoSurface::paintGL() {
  if (!render_) return;
  const qreal ratio = devicePixelRatioF();
  mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()),
                     static_cast<int>(width() * ratio), static_cast<int>(height() * ratio), 0};
  int flip = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flip},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(render_, params);
}

void MpvVideoSurface::RenderUpdate() {
  if (render_ && (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME)) update();
}

void MpvVideoSurface::mouseDoubleClickEvent(QMouseEvent* event) {
  emit DoubleClicked();
  event->accept();
}

}  // namespace vortaq
