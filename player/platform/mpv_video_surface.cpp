#include "mpv_video_surface.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QExposeEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>

namespace vortaq {

namespace {

void* GetProcAddress(void*, const char* name) {
  QOpenGLContext* context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

void OnRenderUpdate(void* surface) {
  // Called on an engine thread: only queue the redraw.
  QMetaObject::invokeMethod(static_cast<MpvVideoSurface*>(surface), "RenderUpdate", Qt::QueuedConnection);
}

}  // namespace

bool OpenGLAvailable() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  QOpenGLContext context;
  return context.create();
}

MpvVideoSurface::MpvVideoSurface(mpv_handle* mpv) : mpv_(mpv) {
  setSurfaceType(QWindow::OpenGLSurface);
  // Keys stay with the main window and its key preview.
  setFlag(Qt::WindowDoesNotAcceptFocus);
}

MpvVideoSurface::~MpvVideoSurface() {
  if (context_) context_->makeCurrent(this);
  FreeRenderContext();
  if (context_) context_->doneCurrent();
  delete context_;
}

void MpvVideoSurface::FreeRenderContext() {
  if (!render_) return;
  mpv_render_context_set_update_callback(render_, nullptr, nullptr);
  mpv_render_context_free(render_);
  render_ = nullptr;
}

bool MpvVideoSurface::Initialize() {
  if (render_) return true;
  if (!context_) {
    context_ = new QOpenGLContext(this);
    context_->setFormat(requestedFormat());
    if (!context_->create()) return false;
  }
  if (!context_->makeCurrent(this)) return false;
  mpv_opengl_init_params gl{GetProcAddress, nullptr};
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                               {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&render_, mpv_, params) < 0) {
    render_ = nullptr;
    return false;
  }
  mpv_render_context_set_update_callback(render_, OnRenderUpdate, this);
  emit Ready();
  return true;
}

void MpvVideoSurface::exposeEvent(QExposeEvent*) {
  if (!isExposed()) return;
  if (Initialize()) Render();
}

bool MpvVideoSurface::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::UpdateRequest:
      Render();
      return true;
    case QEvent::Leave:
      emit Left();
      return QWindow::event(event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
      emit DragEvent(event);
      return true;
    default:
      return QWindow::event(event);
  }
}

void MpvVideoSurface::Render() {
  if (!render_ || !isExposed() || !context_->makeCurrent(this)) return;
  const qreal ratio = devicePixelRatio();
  mpv_opengl_fbo fbo{static_cast<int>(context_->defaultFramebufferObject()), static_cast<int>(width() * ratio),
                     static_cast<int>(height() * ratio), 0};
  int flip = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flip},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(render_, params);
  context_->swapBuffers(this);
  // Lets the engine time its frames by the real presentation.
  mpv_render_context_report_swap(render_);
}

void MpvVideoSurface::RenderUpdate() {
  if (render_ && (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME)) requestUpdate();
}

void MpvVideoSurface::mouseDoubleClickEvent(QMouseEvent* event) {
  emit DoubleClicked();
  event->accept();
}

void MpvVideoSurface::mouseMoveEvent(QMouseEvent* event) {
  emit Hovered(event->globalPosition().toPoint());
  event->accept();
}

}  // namespace vortaq
