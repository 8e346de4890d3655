#pragma once

#include <QLocale>

namespace velmora::test {

// `locale` as the widgets' default for a scope (as the user's locale would
// be); the previous default comes back afterwards.
class ScopedLocale {
 public:
  explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
  ~ScopedLocale() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

}  // namespace velmora::test
