// Sending a full 64 KiB image (2,048 lines of 32 known bytes, a 5-byte write command per
// byte) through CSerial to the simulated printer on a pseudo-terminal, in paired,
// alternating rounds of two ways:
//   per command  one CSerial::Write per command, each built by MakeWriteCommand (the
//                send sequence's way while the trace is on);
//   sequence     SendCommandStream with the trace off, as the send sequence writes.
// A pseudo-terminal has no line time, so what is measured is the software's own time:
// the sending thread's CPU time (building the commands and the system calls), and the
// real time, which also holds the simulator taking the bytes in on the other core. The
// summary gives the medians against the time the stream needs on a 115200 baud 8N1 line.
//
//   bench_serial [ROUNDS]   (default 15)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "model/stat_data_obj.h"
#include "port/serial.h"
#include "protocol/command_stream.h"
#include "pty_runner.h"
#include "update/send_stream.h"

namespace {

using pelmora::model::CStatDataObj;

constexpr double kLineBaud = 115200;
constexpr double kBitsPerByte = 10;  // 8N1: start, 8 data, stop
constexpr double kTargetShare = 0.001;

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

// One command per write, as the sequence writes while traced.
bool SendPerCommand(pelmora::port::CSerial& serial) {
  const pelmora::protocol::CCommandStream stream(FullModel());
  const auto write = [&](std::span<const std::uint8_t> command) {
    return serial.Write(command.data(), static_cast<std::uint32_t>(command.size()));
  };
  bool ok = write(stream.InitCommand());
  stream.ForEachWriteCommand(
      [&](std::uint16_t, std::uint8_t, std::span<const std::uint8_t> command) {
        ok = ok && write(command);
        return ok;
      },
      pelmora::protocol::CommandLog::kAsMakeWriteCommand);
  return ok && write(stream.ResetCommand());
}

bool SendAsSequence(pelmora::port::CSerial& serial) {
  const pelmora::protocol::CCommandStream stream(FullModel());
  const pelmora::log::CDebugLog log("bench");
  return !pelmora::update::SendCommandStream(stream, serial, log);
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Times {
  std::vector<double> cpu, real;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Waits until the printer has taken `resets` reset commands, which end every send.
bool WaitForResets(const pelmora::sim::CPtyRunner& printer, std::uint64_t resets) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (printer.CountersSnapshot().resets < resets) {
    if (std::chrono::steady_clock::now() > limit)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  pelmora::sim::CPtyRunner printer(FullModel(), pelmora::sim::CSimOptions{});
  std::string error;
  if (!printer.Open(error)) {
    std::fprintf(stderr, "bench_serial: %s\n", error.c_str());
    return 1;
  }
  printer.Start();
  pelmora::port::CSerial serial;
  if (!serial.Open(printer.DevicePath()) || !serial.SetState({115200, 8, 0, 0}) ||
      !serial.SetTimeOuts(115200)) {
    std::fprintf(stderr, "bench_serial: cannot open the simulator's terminal\n");
    return 1;
  }

  using Send = bool (*)(pelmora::port::CSerial&);
  const struct {
    const char* name;
    Send send;
  } ways[] = {{"per command", &SendPerCommand}, {"sequence", &SendAsSequence}};
  Times times[2];
  std::uint64_t sends = 0;
  // One warm-up round each, then the measured ones; the order alternates per round.
  for (int round = -1; round < rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      const int way = (round + k) & 1;
      const double cpu0 = ThreadCpuSeconds();
      const auto real0 = std::chrono::steady_clock::now();
      const bool ok = ways[way].send(serial);
      const double cpu = ThreadCpuSeconds() - cpu0;
      const std::chrono::duration<double> real = std::chrono::steady_clock::now() - real0;
      if (!ok || !WaitForResets(printer, ++sends)) {
        std::fprintf(stderr, "bench_serial: %s: a write failed or did not arrive\n",
                     ways[way].name);
        return 1;
      }
      if (round >= 0) {
        times[way].cpu.push_back(cpu);
        times[way].real.push_back(real.count());
      }
    }
  }
  serial.Close();

  // Every byte must have arrived, or the times mean nothing.
  const std::vector<std::uint8_t> memory = printer.MemorySnapshot();
  std::uint32_t wrong = 0;
  pelmora::protocol::ForEachKnownByte(FullModel(), [&](std::uint16_t address, std::uint8_t data) {
    wrong += memory[address] != data;
  });
  printer.Stop();
  if (wrong != 0) {
    std::fprintf(stderr, "bench_serial: the simulator's memory differs from the image\n");
    return 1;
  }

  const std::size_t bytes = pelmora::protocol::BuildCommandStream(FullModel()).size();
  const double line = static_cast<double>(bytes) * kBitsPerByte / kLineBaud;
  std::printf("Stream: %zu bytes; line time at 115200 baud 8N1: %.2f s; %d rounds, medians\n",
              bytes, line, rounds);
  for (int way = 0; way < 2; ++way) {
    const double cpu = Median(times[way].cpu);
    const double real = Median(times[way].real);
    std::printf("%-12s CPU %7.2f ms = %6.3f %%   real %7.2f ms = %6.3f %% of the line time\n",
                ways[way].name, cpu * 1000, 100 * cpu / line, real * 1000, 100 * real / line);
  }
  const double share = Median(times[1].cpu) / line;
  std::printf("sequence: %.3f %% of the line time (must be < %.1f %%): %s\n", 100 * share,
              100 * kTargetShare, share < kTargetShare ? "met" : "NOT MET");
  return 0;
}
