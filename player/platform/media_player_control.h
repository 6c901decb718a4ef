// WMP64: the playback control of the main window on libmpv. Properties,
// methods and events keep the names of the Windows Media Player 6.4 control
// that the window was designed around. The picture fills the control above its
// own strip (play/pause, stop, position bar, times) of kStripHeight pixels.
#pragma once

#include <QString>
#include <QWidget>

struct mpv_handle;
struct mpv_event;
class QLabel;
class QPushButton;
class QSlider;

namespace vortaq {

class MpvVideoSurface;

struct EngineOptions {
  QString videoOutput;  // empty: the render API when OpenGL works, else "null"
  QString audioOutput;  // empty: the engine's choice
  bool untimed = false; // decode as fast as possible (tests)
};

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
  int ImageSourceWidth() const { return imageWidth_; }
  int ImageSourceHeight() const { return imageHeight_; }

  bool hasVideoSurface() const { return surface_ != nullptr; }
  mpv_handle* engine() const { return mpv_; }

 public slots:
  void Play();
  void Pause();
  void Stop();

 signals:
  void OpenStateChange(int oldState, int newState);
  void EndOfStream(int result);
  // The engine could not open the file; text says why.
  void Error(const QString& text);
  // DisplaySize changed; the window arranges the full-screen presentation.
  void DisplaySizeChange(int size);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private slots:
  void DrainEvents();
  void UpdateStrip();

 private:
  void Load();
  void SetOpenState(int state);
  void ApplyBalance();
  void HandleEvent(const mpv_event& event);

  mpv_handle* mpv_ = nullptr;
  MpvVideoSurface* surface_ = nullptr;
  QWidget* picture_ = nullptr;  // surface_, or a black stand-in without OpenGL
  QWidget* strip_ = nullptr;
  QPushButton* playButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QSlider* positionBar_ = nullptr;
  QLabel* timeLabel_ = nullptr;

  QString fileName_;
  bool autoStart_ = true;
  int volume_ = 0;
  int balance_ = 0;
  double rate_ = 1.0;
  int displaySize_ = kDefaultSize;
  int imageWidth_ = 0, imageHeight_ = 0;
  int openState_ = kClosed;
  bool loaded_ = false;
  bool stopped_ = true;
  bool loadPending_ = false;
  double pendingSeek_ = -1;
  int64_t entryId_ = -1;
  bool barDragging_ = false;
};

}  // namespace vortaq
