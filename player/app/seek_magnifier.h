// TVRTQ_SEEK ("拡大鏡"): one wide bar over the playing file, a position per
// second, for seeking finer than the control's own bar allows.
#pragma once

#include <QWidget>

class QScrollBar;

namespace vortaq {

class IniFile;

// "拡大鏡 [%02d:%02d:%02d %df] -> [%02d:%02d:%02d %df]" for a bar position and
// a duration: the h:m:s parts rounded from half a second up, the trailing
// numbers truncated.
QString SeekCaption(int position, double duration);

class TVRTQ_SEEK : public QWidget {
  Q_OBJECT
 public:
  explicit TVRTQ_SEEK(QWidget* parent = nullptr);

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;

  // From the main window's idle pass.
  void Update(double duration, double position);
  // Seconds of the arrow keys and the bar's small step.
  void SetStep(int seconds);
  QScrollBar* bar() const { return SC; }

 signals:
  // Play from this second.
  void SeekRequested(double seconds);
  // The arrow keys: back or forward by the step from where playback is.
  void StepRequested(int direction);
  // Closed by the user: the main window clears its menu tick.
  void Hidden();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void SC_Scroll(int action);
  void SC_Change(int value);

  QScrollBar* SC = nullptr;
  double duration_ = 0;
  int step_ = 5;
  bool pendingStep_ = false;  // a line or page step waits for its end
};

}  // namespace vortaq
