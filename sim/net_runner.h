// Simulated printers on a TCP/IP network, each at an address of its own: a UDP socket
// that answers the device ID request, and an FTP service whose uploads are command
// streams (the bytes a serial line would carry) applied to that printer's memory.
//
// The FTP side is one child process, sim_ftp_server.py under /usr/bin/python3, with a
// listener and a private upload folder per printer. It names every finished upload on
// its standard output before the client hears that the transfer is complete; the
// runner applies the file and removes it. The child dies with the runner.
//
// Use (the program's main thread):
//   CNetRunner sim(model, options);
//   sim.AddPrinter("127.0.0.2", dumpPath);  ...
//   if (!sim.Open(3289, 21, script, error)) ...;
//   sim.Run();
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fake_printer.h"

namespace pelmora::sim {

// The device ID reply: 17 bytes the host ignores ("TAVEN" and zeros), the length of
// `deviceId` high byte first, then its text.
std::vector<std::uint8_t> NetworkDeviceIdReply(const std::string& deviceId);

class CNetRunner {
 public:
  CNetRunner(const model::CStatDataObj& model, CSimOptions options);
  // Ends the FTP server, closes the sockets and removes the upload folders.
  ~CNetRunner();
  CNetRunner(const CNetRunner&) = delete;
  CNetRunner& operator=(const CNetRunner&) = delete;

  // Before Open: a printer at the IPv4 `address`, its memory dumped to `dumpPath` (none
  // when empty). Returns it, to load its memory or observe it.
  CFakePrinter& AddPrinter(const std::string& address, std::string dumpPath);

  // Binds every printer's UDP socket, starts the FTP server with `script` and waits up
  // to 10 s until it listens. Port 0 takes any free port. False with `error` otherwise.
  bool Open(std::uint16_t udpPort, std::uint16_t ftpPort, const std::string& script,
            std::string& error);
  std::size_t PrinterCount() const { return printers_.size(); }
  // After Open: "ADDR udp:PORT ftp:PORT" of printer `index`.
  std::string Endpoint(std::size_t index) const;

  // Serves until RequestStop, then takes the uploads already named and writes the
  // dumps. False (after a message on standard error) when the FTP server ends by itself.
  bool Run();
  // Both are async-signal-safe: a signal handler may call them.
  void RequestStop();
  void RequestDump();

 private:
  struct CPrinter {
    std::string address;
    std::string dumpPath;
    std::unique_ptr<CFakePrinter> printer;
    std::string folder;  // where its uploads land
    int udp = -1;
    std::uint16_t udpPort = 0;
    std::uint16_t ftpPort = 0;
  };
  struct CReply {
    std::chrono::steady_clock::time_point due;
    std::size_t printer;
    sockaddr_in to;
  };

  bool BindUdp(CPrinter& printer, std::uint16_t port, std::string& error);
  bool StartServer(std::uint16_t ftpPort, const std::string& script, std::string& error);
  bool AwaitServer(std::string& error);
  void StopServer();
  void TakeRequest(std::size_t index);
  void SendDueReplies();
  bool TakeServerOutput();
  void Apply(std::size_t index, const std::string& path);
  void WriteDumps();

  const model::CStatDataObj& model_;
  CSimOptions options_;
  std::vector<CPrinter> printers_;
  std::vector<CReply> replies_;  // in order of their due times
  std::string root_;             // the private folder of all upload folders
  pid_t server_ = -1;
  int serverOut_ = -1;
  std::string serverText_;  // server output not yet a whole line
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> dumpRequested_{false};
};

}  // namespace pelmora::sim
