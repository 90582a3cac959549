// Heap held by a loaded model of the generated definition file, against the file
// size: the reader and the model right after Load, the model alone once the reader
// has let go, and one copy of the model.
//
//   bench_model_heap [PATH]   PATH: a definition file to measure instead
#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>

#include "big_model.h"
#include "model/model_file.h"
#include "model/result_codes.h"
#include "model/stat_data_obj.h"

namespace {

using pelmora::model::CModelFile;
using pelmora::model::CStatDataObj;

// Bytes handed out by malloc, including blocks served by mmap.
std::size_t HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

double Ratio(std::size_t bytes, std::size_t size) {
  return static_cast<double>(bytes) / static_cast<double>(size);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "";
  std::string text;
  if (path.empty()) {
    path = "/tmp/pelmora-model-heap.cfg";
    text = pelmora::bench::MakeBigModel();
    if (!pelmora::bench::WriteBigModel(path)) {
      std::fprintf(stderr, "bench_model_heap: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "bench_model_heap: cannot open %s\n", path.c_str());
    return 1;
  }
  std::fseek(f, 0, SEEK_END);
  const auto size = static_cast<std::size_t>(std::ftell(f));
  std::fclose(f);
  text.clear();
  text.shrink_to_fit();

  const std::size_t before = HeapInUse();
  auto file = std::make_unique<CModelFile>();
  auto model = std::make_unique<CStatDataObj>();
  const int result = file->Load(*model, path);
  file->CloseSource();
  const std::size_t loaded = HeapInUse() - before;
  file->Release();
  const std::size_t alone = HeapInUse() - before;
  const std::size_t withCopyBefore = HeapInUse();
  auto copy = std::make_unique<CStatDataObj>(*model);
  const std::size_t copied = HeapInUse() - withCopyBefore;

  std::printf("File: %zu bytes, load result %d, %zu + %zu items\n", size, result,
              model->BasicItems().size(), model->AdvancedItems().size());
  std::printf("Reader and model after Load: %zu bytes  (%.2f x file; target <= 1.5)\n", loaded,
              Ratio(loaded, size));
  std::printf("Model alone:                 %zu bytes  (%.2f x file)\n", alone, Ratio(alone, size));
  std::printf("One more copy of the model:  %zu bytes  (%.2f x file)\n", copied,
              Ratio(copied, size));
  if (argc <= 1)
    std::remove(path.c_str());
  return result == pelmora::model::kResultOk ? 0 : 1;
}
