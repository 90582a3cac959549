// libFuzzer target: any bytes as a definition file. Load must end in a result code;
// a loaded model must survive showing and storing every item's text.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/item_text.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

namespace {

using pelmora::model::CItem;
using pelmora::model::CModelFile;
using pelmora::model::CStatDataObj;

// Load reads from a path, so every input goes through one temporary file per process.
struct TempFile {
  TempFile() {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/pelmora-fuzz-XXXXXX";
    fd = ::mkstemp(path.data());
    if (fd < 0)
      std::abort();
  }
  ~TempFile() {
    ::close(fd);
    ::unlink(path.c_str());
  }
  void Write(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd, 0) != 0)
      std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0)
        std::abort();
      done += static_cast<std::size_t>(n);
    }
  }

  std::string path;
  int fd = -1;
};

// Shows and stores every item the way the configuration window and its dialogs do.
void ExerciseItems(CStatDataObj& model, const std::vector<CItem>& items) {
  for (const CItem& item : items) {
    const std::string text = GetItemText(model, item);
    SetItemText(model, item, text);
    if (item.type == pelmora::model::kNumberItem)
      CheckValue(item, text);
    // Every choice the list offers, bounded so that huge lists stay fast.
    std::size_t tried = 0;
    for (const auto& choice : item.choices) {
      if (++tried > 16)
        break;
      SetItemText(model, item, choice.name);
      GetItemText(model, item);
    }
    if (item.type == pelmora::model::kBitItem) {
      SetItemText(model, item, item.onText);
      SetItemText(model, item, item.offText);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TempFile file;
  // Reused across inputs, as the start dialog reuses them (with Release) between loads.
  static CModelFile reader;
  static CStatDataObj model;

  file.Write(data, size);
  reader.Release();
  const int result = reader.Load(model, file.path);
  reader.CloseSource();
  if (result == pelmora::model::kResultOk) {
    ExerciseItems(model, model.BasicItems());
    ExerciseItems(model, model.AdvancedItems());
    model.GetImageSize();
    model.GetFirstAddress();
  }
  return 0;
}
