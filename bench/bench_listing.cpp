// Listing a folder of 1,000 definition files (as the start dialog does) against
// reading the same files into memory. Prints the ratio.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "best_time_reporter.h"
#include "model/model_file.h"
#include "scripted_prompt.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 1000;

fs::path g_dir;
std::vector<std::string> g_paths;

// A realistic small definition: the header, a few items and their data.
std::string FileText(int i) {
  const std::string n = std::to_string(i);
  std::string text =
      "! generated for the listing benchmark\nVersion = 0110\nModelName = \"TAVEN B-";
  text += n;
  text += "\"\nInterface = \"Serial\", \"Parallel\", \"USB\", \"TCP/IP\"\n";
  text += "DriverName = \"TAVEN B Series\"\nPrinterName = \"TAVEN B-";
  text += std::to_string((i * 7919) % kFiles);
  text +=
      "\"\nCmdLine = 1B57MMNNXX\nGetCmd = 1B52MMNN\nInitLine = 1B40\nRstCmd = 1B52\n[Standard]\n";
  char line[128];
  for (int k = 0; k < 40; ++k) {
    std::snprintf(line, sizeof line,
                  "\"Item %d\" : type = number, address = %04X, range = (0, 255), unit = \"mm\"\n",
                  k, k);
    text += line;
  }
  text +=
      "[End]\n[Default]\n0000:00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF\n";
  text += "0020:00112233445566778899AABBCCDDEEFF\n[End]\n[Mask]\n0000:00\n[End]\n";
  text += "[Option]\nDescription = \"Generated model number ";
  text += n;
  text += "\"\n[End]\n";
  return text;
}

void MakeFolder() {
  char templ[] = "/tmp/pelmora-bench-listing-XXXXXX";
  g_dir = ::mkdtemp(templ);
  fs::create_directory(g_dir / "model");
  for (int i = 0; i < kFiles; ++i) {
    std::string name = "b";
    name += std::to_string(i);
    name += ".cfg";
    const fs::path path = g_dir / "model" / name;
    std::ofstream(path, std::ios::binary) << FileText(i);
    g_paths.push_back(path.string());
  }
}

void BM_ListModels(benchmark::State& state) {
  pelmora::model::CModelFile file;
  pelmora::test::CScriptedPrompt prompt;
  std::vector<pelmora::model::CFileInfo> rows;
  for (auto _ : state) {
    if (file.ListModels(prompt, rows, g_dir.string()) != 1 || rows.size() != kFiles) {
      state.SkipWithError("listing failed");
      break;
    }
    benchmark::DoNotOptimize(rows.data());
  }
}
BENCHMARK(BM_ListModels)->Unit(benchmark::kMillisecond);

// The anchor: open, read whole and close every file, into one reused buffer.
void BM_ReadFiles(benchmark::State& state) {
  std::vector<char> buffer(1 << 16);
  for (auto _ : state) {
    std::size_t total = 0;
    for (const std::string& path : g_paths) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      ssize_t n = 0;
      while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
        total += static_cast<std::size_t>(n);
      ::close(fd);
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadFiles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MakeFolder();
  pelmora::bench::CBestTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double read = reporter.Seconds("BM_ReadFiles");
  std::printf("listing / reading the same %d files: %.2fx (must stay within 3x)\n", kFiles,
              read > 0 ? reporter.Seconds("BM_ListModels") / read : 0.0);
  fs::remove_all(g_dir);
  benchmark::Shutdown();
  return 0;
}
