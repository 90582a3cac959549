// Looking up a function of a library opened at run time (dlopen): the libraries only
// some operations need are loaded when those first run, so every program starts
// without them.
#pragma once

#include <dlfcn.h>

namespace pelmora::log {

// Sets `function` to the symbol `name` of `library`; false when it has none.
template <typename Function>
bool ResolveSymbol(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

}  // namespace pelmora::log
