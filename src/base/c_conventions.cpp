#include "base/c_conventions.h"

#include <clocale>

namespace velmora {

void UseClassicNumberAndTimeConventions() {
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");
}

}  // namespace velmora
