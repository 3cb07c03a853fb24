// Switches the process locale for one test and restores the previous one afterwards, so the
// narrow character set (C: ASCII, C.UTF-8: UTF-8) is known whatever the test runner inherited.
#pragma once

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace vidorant {

class TScopedLocale {
public:
  explicit TScopedLocale(const char* name) : Previous(std::setlocale(LC_ALL, nullptr)) {
    Active = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~TScopedLocale() { std::setlocale(LC_ALL, Previous.c_str()); }
  bool Active;

private:
  std::string Previous;
};

}  // namespace vidorant
