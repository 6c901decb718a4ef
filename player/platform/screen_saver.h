// The screen saver switch: an inhibition held on the session bus
// (org.freedesktop.ScreenSaver) while the option is on. Only our own
// inhibition is ever released; the user's settings are never touched.
#pragma once

#include <QObject>

namespace vortaq {

class ScreenSaverInhibitor : public QObject {
  Q_OBJECT
 public:
  explicit ScreenSaverInhibitor(QObject* parent = nullptr) : QObject(parent) {}
  ~ScreenSaverInhibitor() override { Release(); }

  // Asks for an inhibition; the answer arrives without blocking the window.
  void Inhibit();
  // Gives back our inhibition, if we hold one (waits briefly, so that it is
  // given back before the program ends).
  void Release();
  bool wanted() const { return wanted_; }
  bool held() const { return cookie_ != 0; }

 private:
  bool wanted_ = false;
  uint cookie_ = 0;
  quint64 request_ = 0;  // tells a late answer from the current request
};

}  // namespace vortaq
