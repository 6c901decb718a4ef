// WMP64: the playback control of the main window on libmpv. Properties,
// methods and events keep the names of the Windows Media Player 6.4 control
// that the window was designed around. The picture fills the control above its
// own strip (play/pause, stop, position bar, times) of kStripHeight pixels.
// The GUI thread never waits on the engine: properties arrive as observed
// values and are read from a cache, commands and writes are asynchronous.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

struct mpv_handle;
struct mpv_event;
class QLabel;
class QPushButton;
class QSlider;
struct mpv_node;

namespace vortaq {

class MpvVideoSurface;
class PositionBar;

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
  // Why the engine could not be started; empty when it runs.
  QString engineError() const { return engineError_; }
  // Seconds that one wheel step on the position bar moves.
  void SetSeekStep(int seconds) { seekStep_ = seconds; }
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
  void HandleProperty(uint64_t id, const void* property);
  void HandleLoadReply(uint64_t serial, int error, const mpv_node& result);
  void HandleEnd(int64_t entry, int reason, int error);
  void CurrentLoaded();
  void SeekTo(double seconds);
  void SetPause(bool on);
  void Command(std::initializer_list<QByteArray> args, uint64_t reply = 0);

  mpv_handle* mpv_ = nullptr;
  MpvVideoSurface* surface_ = nullptr;
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
  int imageWidth_ = 0, imageHeight_ = 0;
  int openState_ = kClosed;
  bool loaded_ = false;
  bool stopped_ = true;
  bool loadPending_ = false;
  bool loadPaused_ = false;  // AutoStart as it was when the load was asked for
  double pendingSeek_ = -1;
  bool stripVisible_ = true;
  int seekStep_ = 5;
  QString engineError_;

  // Which engine entry answers which load: the serial of each loadfile
  // request, the entry id its reply names, and the path it was for.
  uint64_t loadSerial_ = 0;
  int64_t currentEntry_ = -1;    // the entry of the current load, once known
  int64_t startedEntry_ = -1;    // the last entry the engine began
  int64_t loadedEntry_ = -1;     // the last entry the engine finished loading
  QHash<uint64_t, QString> loadPaths_;       // serial -> path, until answered
  QHash<int64_t, QString> entryPaths_;       // entry -> path of earlier loads
  struct EarlyEnd { int reason; int error; };
  QHash<int64_t, EarlyEnd> earlyEnds_;       // ends that came before their reply

  // The engine's observed state.
  double timePos_ = 0;
  double duration_ = 0;
  bool paused_ = true;
  bool eofReached_ = false;
};

}  // namespace vortaq
