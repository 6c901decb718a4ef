// A shared library loaded at run time by path: the analysis library now, the
// tag plug-in later.
#pragma once

#include <QString>
#include <QStringList>

namespace vortaq {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary() { Close(); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the first candidate that exists (the first one when none does).
  // Returns "" on success, else the loader's own message.
  QString Open(const QStringList& candidates);
  void Close();
  // Forgets the library without unloading it: it stays mapped until the
  // process ends.
  void Release() { handle_ = nullptr; }
  bool isOpen() const { return handle_ != nullptr; }

  // The address of an exported name as Fn, or null.
  template <typename Fn>
  Fn Resolve(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

 private:
  void* Symbol(const char* name) const;
  void* handle_ = nullptr;
};

}  // namespace vortaq
