#include "app_state.h"

namespace pelmora::update {

bool& NoWarningFlag() {
  static bool flag = false;
  return flag;
}

}  // namespace pelmora::update
