// pelmora-gen-model: writes the generated benchmark definition file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "big_model.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: pelmora-gen-model PATH [LINES]\n");
    return 2;
  }
  std::uint32_t lines = pelmora::bench::kBigModelLines;
  if (argc == 3) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || value < pelmora::bench::BigModelMinLines() ||
        value > pelmora::bench::kBigModelLines) {
      std::fprintf(stderr, "pelmora-gen-model: LINES must lie between %u and %u\n",
                   pelmora::bench::BigModelMinLines(), pelmora::bench::kBigModelLines);
      return 2;
    }
    lines = static_cast<std::uint32_t>(value);
  }
  if (!pelmora::bench::WriteBigModel(argv[1], lines)) {
    std::fprintf(stderr, "pelmora-gen-model: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
