// Helpers for the player tests: media fixtures, temporary folders and waiting
// for the event loop.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace vortaq::test {

// tests/fixtures/player/<name>: clip.mp4 (160x120, 2 s), tone.mp3 (1 s).
QString Fixture(const QString& name);
// Runs the event loop until done() or the timeout (ms); returns done().
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);
QByteArray ReadAll(const QString& path);
// A settings file's bytes: UTF-16 LE with its byte-order mark.
QByteArray Utf16(const QString& text);
bool WriteAll(const QString& path, const QByteArray& data);

}  // namespace vortaq::test
