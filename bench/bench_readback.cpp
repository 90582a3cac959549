// A read-back of N known bytes through the serial sequence, from the simulated printer
// on a pseudo-terminal. Every command is timed: the read wait (from the end of the
// write to the start of the read) must never be shorter than the wait the definition
// file gives, and the whole reading must take no more than
//   N × (read wait + reply time) + 1 %,
// the reply time being what each Read took (the printer's answer plus the byte-gap
// interval that tells the reply is complete). What is left over is the software's own
// time: building and writing the command, analysing and storing the reply, logging and
// the progress window.
//
//   bench_readback [--bytes N] [--wait MS] [--slow-reply MS] [--timer-slack NS]
// --timer-slack sets the thread's timer slack (50000 ns by default on Linux), to tell how
// much of the time past the waits is the kernel waking the thread late.
// Exit status 0 when both bounds hold, 1 otherwise.
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/stat_data_obj.h"
#include "model/user_prompt.h"
#include "port/serial.h"
#include "pty_runner.h"
#include "scripted_prompt.h"
#include "update/printer_sequence.h"
#include "update/serial_printer_port.h"
#include "update/update_printer_dlg.h"

namespace {

using namespace pelmora;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

struct Timing {
  Clock::time_point writeStart, writeEnd, readStart, readEnd;
};

// The serial connection with a stop watch around each Write and Read.
class TimedSerial final : public port::IConnection {
 public:
  explicit TimedSerial(port::CSerial& serial) : serial_(serial) {}
  bool IsOpen() const override { return serial_.IsOpen(); }
  bool GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) override {
    return serial_.GetDeviceID(buffer, length);
  }
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override {
    Timing t;
    t.writeStart = Clock::now();
    const bool ok = serial_.Write(bytes, count);
    t.writeEnd = Clock::now();
    timings.push_back(t);
    return ok;
  }
  bool Read(std::uint8_t* buffer, std::uint32_t& length) override {
    timings.back().readStart = Clock::now();
    const bool ok = serial_.Read(buffer, length);
    timings.back().readEnd = Clock::now();
    return ok;
  }
  void Close() override { serial_.Close(); }
  port::ConnectionError LastError() const override { return serial_.LastError(); }
  int LastErrno() const override { return serial_.LastErrno(); }

  std::vector<Timing> timings;

 private:
  port::CSerial& serial_;
};

// The serial port's preparation, handing out the timed connection.
class TimedPort final : public update::IPrinterPort {
 public:
  explicit TimedPort(const std::string& device) { settings_.OverridePort("COM1", device); }
  const update::PrinterPortTraits& Traits() const override {
    return update::CSerialPrinterPort::kTraits;
  }
  port::IConnection* OpenNext(const log::CDebugLog&) override {
    if (!serial_.Open("COM1") || !serial_.SetState({115200, 8, 0, 0}) ||
        !serial_.SetTimeOuts(115200))
      return nullptr;
    return &timed;
  }

 private:
  log::CSettings settings_;
  port::CSerial serial_{settings_};

 public:
  TimedSerial timed{serial_};
};

class QuietUi final : public update::IWarningUi, public update::IProgressUi {
 public:
  int RunWarningDlg(update::CWarningDlg& dlg) override { return dlg.OnYes(false); }
  std::unique_ptr<update::IProgress> OpenProgress(std::uint32_t) override {
    struct Bar final : update::IProgress {
      void SetPos(int) override {}
      void Close() override {}
    };
    return std::make_unique<Bar>();
  }
};

int Value(int argc, char** argv, const std::string& name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (argv[i] == name)
      return std::atoi(argv[i + 1]);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int bytes = std::clamp(Value(argc, argv, "--bytes", 200), 1, 0x10000);
  const int waitMs = std::max(Value(argc, argv, "--wait", 50), 1);
  const int slowMs = std::max(Value(argc, argv, "--slow-reply", 0), 0);
  if (const int slack = Value(argc, argv, "--timer-slack", 0); slack > 0)
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack));

  // N known bytes from address 0; the read wait comes from the model's file.
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("pelmora-readback-" + std::to_string(getpid()));
  std::ofstream(file) << "[Printer]\nReadWait2 = " << waitMs << "\n";
  model::CStatDataObj data;
  const std::uint8_t write[] = {0x1B, 0x57, 0xFE, 0xFD, 0xFF};
  const std::uint8_t read[] = {0x1B, 0x52, 0xFE, 0xFD};
  data.SetWriteTemplate(write);
  data.SetReadTemplate(read);
  data.AddModelName("TX-RB");
  data.SetFilePath(file.string());
  static const std::string kZeros(64, '0');  // the lines view their texts
  for (int a = 0; a < bytes; a += 32) {
    const auto n = static_cast<std::size_t>(2 * std::min(32, bytes - a));
    data.SetLines().push_back(
        {static_cast<std::uint16_t>(a), std::string_view(kZeros).substr(0, n)});
  }
  data.BuildImage(data.SetLines());

  sim::CSimOptions options;
  options.replyDelay = std::chrono::milliseconds(slowMs);
  sim::CPtyRunner printer(data, options);
  for (int a = 0; a < bytes; ++a)
    printer.Printer().Memory()[a] = static_cast<std::uint8_t>(a * 7 + 1);
  std::string error;
  if (!printer.Open(error)) {
    std::fprintf(stderr, "bench_readback: %s\n", error.c_str());
    return 1;
  }
  printer.Start();

  TimedPort port(printer.DevicePath());
  pelmora::test::CScriptedPrompt prompt(model::Answer::kOk);
  QuietUi ui;
  const int result = update::RunGetSequence("Serial", port, {data, prompt, ui, ui});
  printer.Stop();
  std::filesystem::remove(file);

  const std::vector<Timing>& t = port.timed.timings;
  int wrong = 0;
  for (int a = 0; a < bytes; ++a) {
    std::uint8_t b = 0;
    data.ReadBytes(static_cast<std::uint32_t>(a), {&b, 1});
    wrong += b != static_cast<std::uint8_t>(a * 7 + 1);
  }
  if (result != 1 || static_cast<int>(t.size()) != bytes || wrong != 0 ||
      (!prompt.AskedSoFar().empty() && prompt.AskedSoFar().back().title == "Error")) {
    std::fprintf(stderr,
                 "bench_readback: the read-back failed (result %d, %zu commands, %d wrong)\n",
                 result, t.size(), wrong);
    return 1;
  }

  double shortestWait = 1e9, longestWait = 0, replies = 0, oversleep = 0, writes = 0, between = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Timing& x = t[i];
    writes += Ms(x.writeEnd - x.writeStart).count();
    if (i > 0)
      between += Ms(x.writeStart - t[i - 1].readEnd).count();
    const double wait = Ms(x.readStart - x.writeEnd).count();
    oversleep += wait - waitMs;
    shortestWait = std::min(shortestWait, wait);
    longestWait = std::max(longestWait, wait);
    replies += Ms(x.readEnd - x.readStart).count();
  }
  const double total = Ms(t.back().readEnd - t.front().writeStart).count();
  const double bound = (bytes * double(waitMs) + replies) * 1.01;
  const double own = total - bytes * double(waitMs) - replies;
  const bool waitsHold = shortestWait >= waitMs;
  const bool totalHolds = total <= bound;

  std::printf("Read-back of %d bytes, read wait %d ms, printer reply delay %d ms\n", bytes, waitMs,
              slowMs);
  std::printf("  read waits:      shortest %.3f ms, longest %.3f ms (must be >= %d ms): %s\n",
              shortestWait, longestWait, waitMs, waitsHold ? "ok" : "FAILED");
  std::printf("  reply time:      %.3f ms a byte on average (%.1f ms in all)\n", replies / bytes,
              replies);
  std::printf("  reading:         %.1f ms; bound N x (wait + reply) + 1 %% = %.1f ms: %s\n", total,
              bound, totalHolds ? "ok" : "FAILED");
  std::printf(
      "  own time:        %.1f ms = %.3f %% of N x (wait + reply), %.3f ms a byte;\n"
      "                   of it %.1f ms waking up late from the waits, %.1f ms in the\n"
      "                   writes, %.1f ms from a reply to the next command\n",
      own, 100 * own / (bound / 1.01), own / bytes, oversleep, writes, between);
  return waitsHold && totalHolds ? 0 : 1;
}
