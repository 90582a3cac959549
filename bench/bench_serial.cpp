// Sending a full 64 KiB image (2,048 lines of 32 known bytes, a 5-byte write command per
// byte) through CSerial::Write, command by command, to the simulated printer on a
// pseudo-terminal. A pseudo-terminal has no line time, so what is measured is the
// software's own time (building the commands, the writes, the simulator taking them
// in); the summary sets it against the time the stream needs on a 115200 baud 8N1 line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "best_time_reporter.h"
#include "model/stat_data_obj.h"
#include "port/serial.h"
#include "protocol/command_stream.h"
#include "pty_runner.h"

namespace {

using pelmora::model::CStatDataObj;

constexpr double kLineBaud = 115200;
constexpr double kBitsPerByte = 10;  // 8N1: start, 8 data, stop
constexpr double kTargetShare = 0.02;

const CStatDataObj& FullModel() {
  static const CStatDataObj model = [] {
    CStatDataObj m;
    const std::uint8_t write[] = {0x1B, 0x57, 0xFE, 0xFD, 0xFF};
    const std::uint8_t read[] = {0x1B, 0x52, 0xFE, 0xFD};
    const std::uint8_t init[] = {0x1B, 0x40};
    const std::uint8_t reset[] = {0x1B, 0x5A};
    m.SetWriteTemplate(write);
    m.SetReadTemplate(read);
    m.SetInitCommand(init);
    m.SetResetCommand(reset);
    m.AddModelName("TX-64K");
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::uint32_t line = 0; line < 2048; ++line) {
      // The lines view their texts, which must outlive the model.
      static std::deque<std::string> texts;
      std::string& text = texts.emplace_back();
      for (std::uint32_t j = 0; j < 32; ++j) {
        const std::uint32_t byte = ((line * 32 + j) * 7 + 3) & 0xFF;
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
      }
      m.SetLines().push_back({static_cast<std::uint16_t>(line * 32), text});
    }
    m.BuildImage(m.SetLines());
    return m;
  }();
  return model;
}

// The printer on its terminal, served by a thread for the whole run.
pelmora::sim::CPtyRunner& Printer() {
  static const std::unique_ptr<pelmora::sim::CPtyRunner> sim = [] {
    auto s = std::make_unique<pelmora::sim::CPtyRunner>(FullModel(), pelmora::sim::CSimOptions{});
    std::string error;
    if (!s->Open(error)) {
      std::fprintf(stderr, "bench_serial: %s\n", error.c_str());
      std::exit(1);
    }
    s->Start();
    return s;
  }();
  return *sim;
}

// One send as the sequence does it: initialise, a write per known byte, reset.
template <class Visit>
bool SendImage(pelmora::port::CSerial& serial, pelmora::protocol::CommandLog log, Visit&& written) {
  const pelmora::protocol::CCommandStream stream(FullModel());
  bool ok = serial.Write(stream.InitCommand().data(),
                         static_cast<std::uint32_t>(stream.InitCommand().size()));
  stream.ForEachWriteCommand(
      [&](std::uint16_t, std::uint8_t, std::span<const std::uint8_t> command) {
        ok = serial.Write(command.data(), static_cast<std::uint32_t>(command.size())) && ok;
        written(command.size());
      },
      log);
  ok = serial.Write(stream.ResetCommand().data(),
                    static_cast<std::uint32_t>(stream.ResetCommand().size())) &&
       ok;
  return ok;
}

void Send(benchmark::State& state, pelmora::protocol::CommandLog log) {
  pelmora::port::CSerial serial;
  if (!serial.Open(Printer().DevicePath()) || !serial.SetState({115200, 8, 0, 0}) ||
      !serial.SetTimeOuts(115200)) {
    state.SkipWithError("cannot open the simulator's terminal");
    return;
  }
  const std::uint64_t resetsBefore = Printer().CountersSnapshot().resets;
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    if (!SendImage(serial, log, [&](std::size_t n) { bytes += n; })) {
      state.SkipWithError("a write failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  serial.Close();

  // Every byte must have arrived, or the time means nothing. The reset command ends
  // each send, so its count says when the printer has taken them all.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Printer().CountersSnapshot().resets < resetsBefore + state.iterations() &&
         std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::vector<std::uint8_t> memory = Printer().MemorySnapshot();
  std::uint32_t wrong = 0;
  pelmora::protocol::ForEachKnownByte(FullModel(), [&](std::uint16_t address, std::uint8_t data) {
    wrong += memory[address] != data;
  });
  if (wrong != 0) {
    state.SkipWithError("the simulator's memory differs from the image");
  }
}

// Commands built from the compiled template, nothing logged.
void BM_SendImageQuiet(benchmark::State& state) {
  Send(state, pelmora::protocol::CommandLog::kQuiet);
}

// Commands built one by one with MakeWriteCommand, as the send sequence does (log off).
void BM_SendImageAsSequence(benchmark::State& state) {
  Send(state, pelmora::protocol::CommandLog::kAsMakeWriteCommand);
}

BENCHMARK(BM_SendImageQuiet)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SendImageAsSequence)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void PrintSummary(const pelmora::bench::CBestTimeReporter& reporter) {
  const std::size_t bytes = pelmora::protocol::BuildCommandStream(FullModel()).size();
  const double line = static_cast<double>(bytes) * kBitsPerByte / kLineBaud;
  std::printf("\nStream: %zu bytes; line time at 115200 baud 8N1: %.2f s\n", bytes, line);
  for (const auto& [name, seconds] : reporter.Best()) {
    std::printf("%-24s %8.1f ms = %5.2f %% of the line time (must be < %.0f %%)\n", name.c_str(),
                seconds * 1000, 100 * seconds / line, 100 * kTargetShare);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  pelmora::bench::CBestTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
