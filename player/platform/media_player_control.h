// WMP64: the playback control of the main window. Properties, methods and
// events keep the names of the Windows Media Player 6.4 control that the
// window was designed around; the engine behind them is MpvEngine. The picture
// fills the control above its own strip (play/pause, stop, position bar,
// times) of kStripHeight pixels.
#pragma once

#include <QString>
#include <QWidget>

#include "mpv_engine.h"

struct mpv_handle;
class QLabel;
class QTimer;
class QWindow;
class QPushButton;

namespace vortaq {

class MpvVideoSurface;
class PositionBar;

class MediaPlayerControl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kStripHeight = 146;
  enum PlayStates { kStopped = 0, kPaused = 1, kPlaying = 2 };
  enum DisplaySizes { kDefaultSize = 0, kFullScreen = 3 };
  enum OpenStates { kClosed = 0, kOpening = 1, kOpen = 6 };

  explicit MediaPlayerControl(QWidget* parent = nullptr, EngineOptions options = {});
  ~MediaPlayerControl() override;

  // Loads path (and starts it with AutoStart); "" unloads.
  QString FileName() const { return fileName_; }
  void SetFileName(const QString& path);
  bool AutoStart() const { return autoStart_; }
  void SetAutoStart(bool on) { autoStart_ = on; }
  void SetPlayCount(int count);  // 0 repeats endlessly
  double CurrentPosition() const;
  void SetCurrentPosition(double seconds);
  double Duration() const;
  void SetRate(double rate);  // 0 pauses
  int Volume() const { return volume_; }
  void SetVolume(int attenuation);
  int Balance() const { return balance_; }
  void SetBalance(int balance);
  int DisplaySize() const { return displaySize_; }
  void SetDisplaySize(int size);
  int PlayState() const;
  // The picture as it is seen: anamorphic pictures at their display size.
  int ImageSourceWidth() const;
  int ImageSourceHeight() const;

  bool hasVideoSurface() const { return surface_ != nullptr; }
  // The native window the picture is drawn in (null without OpenGL).
  QWindow* videoSurface() const;
  mpv_handle* engine() const;
  // Why the engine could not be started; empty when it runs.
  QString engineError() const;
  // Seconds that one wheel step on the position bar moves.
  void SetSeekStep(int seconds) { seekStep_ = seconds; }
  // The engine behind the control, for what the control has no property of
  // (mute, frame steps, the screen saver switch).
  MpvEngine* engineClient() const { return engine_; }
  // The strip is hidden while the picture fills the screen.
  void SetStripVisible(bool visible);

 public slots:
  void Play();
  void Pause();
  void Stop();

 signals:
  void OpenStateChange(int oldState, int newState);
  void EndOfStream(int result);
  // The engine could not open path; detail is its reason. Posted after the
  // engine's events were handled, never from inside their handling.
  void Error(const QString& detail, const QString& path);
  // DisplaySize changed; the window arranges the full-screen presentation.
  void DisplaySizeChange(int size);
  // The pointer rests over the picture, at a global position (the picture
  // is a native window of its own: widgets' tool tip events do not reach it).
  void PictureHovered(const QPoint& global);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private slots:
  void UpdateStrip();

 private:
  void Load();
  void EngineLoaded();
  void EnginePictureChanged();
  void SetOpenState(int state);

  MpvEngine* engine_ = nullptr;
  MpvVideoSurface* surface_ = nullptr;
  QTimer* hoverTimer_ = nullptr;
  QPoint hoverAt_;
  QWidget* picture_ = nullptr;  // surface_, or a black stand-in without OpenGL
  QWidget* strip_ = nullptr;
  QPushButton* playButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  PositionBar* positionBar_ = nullptr;
  QLabel* timeLabel_ = nullptr;

  QString fileName_;
  bool autoStart_ = true;
  int volume_ = 0;
  int balance_ = 0;
  double rate_ = 1.0;
  int displaySize_ = kDefaultSize;
  int openState_ = kClosed;
  bool stopped_ = true;
  bool loadPending_ = false;
  bool loadPaused_ = false;  // AutoStart as it was when the load was asked for
  double pendingSeek_ = -1;
  bool stripVisible_ = true;
  int seekStep_ = 5;
};

}  // namespace vortaq
