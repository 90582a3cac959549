#include "app/print_module.h"

#include <dlfcn.h>

#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/print_setting_list_view.h"
#include "log/dynamic_library.h"

namespace pelmora::app {

namespace {

// Opens the module: one already loaded (a test links it), else the installed one,
// else the one beside the program. Null when none opens.
void* OpenModule() {
  if (void* loaded = ::dlopen(kPrintModuleName, RTLD_NOW | RTLD_NOLOAD))
    return loaded;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || self.empty())
    return nullptr;
  const std::filesystem::path folder = self.parent_path();
  for (const std::filesystem::path& path :
       {folder / PELMORA_PRINT_MODULE_DIR / kPrintModuleName, folder / kPrintModuleName}) {
    if (!std::filesystem::exists(path, error))
      continue;
    if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
      return module;
    std::fprintf(stderr, "pelmora: %s\n", ::dlerror());
  }
  return nullptr;
}

PrintEntryPoint LoadEntryPoint() {
  void* module = OpenModule();
  PrintEntryPoint entry = nullptr;
  if (module == nullptr || !log::ResolveSymbol(module, kPrintEntryPoint, entry))
    return nullptr;
  return entry;
}

}  // namespace

bool PrintSettingList(QWidget* parent, const CPrintRequest& request) {
  static const PrintEntryPoint entry = LoadEntryPoint();
  if (entry == nullptr) {
    // Said in the window too: a desktop user does not see standard error.
    std::fprintf(stderr, "pelmora: cannot print: the print module %s is missing\n",
                 kPrintModuleName);
    QMessageBox::warning(parent, "Pelmora",
                         QString("Printing is not available: the print module %1 could not be "
                                 "loaded. Reinstall Pelmora to restore it.")
                             .arg(kPrintModuleName));
    return false;
  }
  return entry(parent, &request);
}

}  // namespace pelmora::app
