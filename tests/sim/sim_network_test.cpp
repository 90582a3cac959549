// The simulator's network mode as a host meets it: a UDP device ID request and an FTP
// upload from plain clients, on loopback addresses only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim_process.h"
#include "test_support.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using pelmora::test::TempDir;

const std::string kProgram = PELMORA_PRINTER_SIM;
const std::string kTr210 = std::string(PELMORA_SOURCE_DIR) + "/examples/model/tr210.cfg";

struct Endpoint {
  std::string address;
  int udp = 0;
  int ftp = 0;
};

// "ADDR udp:PORT ftp:PORT"
Endpoint ParseEndpoint(const std::string& line) {
  Endpoint endpoint;
  std::istringstream in(line);
  std::string udp;
  std::string ftp;
  in >> endpoint.address >> udp >> ftp;
  endpoint.udp = std::atoi(udp.c_str() + 4);
  endpoint.ftp = std::atoi(ftp.c_str() + 4);
  return endpoint;
}

// Sends the device ID request and returns the first datagram within `waitMs`.
std::optional<Bytes> AskDeviceId(const Endpoint& printer, int waitMs) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(printer.udp));
  inet_pton(AF_INET, printer.address.c_str(), &to.sin_addr);
  const Bytes request = {'T', 'A', 'V', 'E', 'N', 0x50, 0x02, 0xFF, 0, 0, 0, 0, 0, 0};
  sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  pollfd entry{fd, POLLIN, 0};
  std::optional<Bytes> reply;
  if (poll(&entry, 1, waitMs) > 0) {
    Bytes bytes(512);
    const ssize_t n = recv(fd, bytes.data(), bytes.size(), 0);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    reply = bytes;
  }
  ::close(fd);
  return reply;
}

TEST(SimNetwork, AnswersTheDeviceIdRequestByUdpUnlessSilent) {
  const std::string id = "MFG:TAVEN;MDL:TR-210;";
  Bytes answered = {'T', 'A', 'V', 'E', 'N'};
  answered.resize(17, 0);
  answered.push_back(0);
  answered.push_back(static_cast<std::uint8_t>(id.size()));
  answered.insert(answered.end(), id.begin(), id.end());
  const struct {
    std::vector<std::string> args;
    std::optional<Bytes> reply;
  } cases[] = {
      {{}, answered},
      {{"--no-device-id"}, std::nullopt},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {kTr210, "--network",  "127.0.0.2", "--udp-port",
                                     "0",    "--ftp-port", "0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CSimProcess process;
    std::string error;
    ASSERT_TRUE(process.Start(kProgram, args, error)) << error;
    EXPECT_EQ(AskDeviceId(ParseEndpoint(process.DevicePath()), c.reply ? 2000 : 200), c.reply)
        << testing::PrintToString(c.args);
    process.Kill();
  }
}

TEST(SimNetwork, AppliesAnUploadToItsPrinterOnly) {
  TempDir dir;
  // The upload folders lie behind a symbolic link, which the FTP server resolves.
  std::filesystem::create_directory_symlink(dir.Path(), dir / "tmp");
  const pelmora::test::ScopedEnv tmp("TMPDIR", dir / "tmp");
  CSimProcess process;
  std::string error;
  ASSERT_TRUE(process.Start(kProgram,
                            {kTr210, "--network", "127.0.0.2", "--network", "127.0.0.3",
                             "--udp-port", "0", "--ftp-port", "0", "--dump", dir / "%a.txt"},
                            error))
      << error;
  std::string second;
  ASSERT_TRUE(process.NextLine(second, error)) << error;
  const Endpoint printer = ParseEndpoint(second);

  // Initialise, then write 0x42 at 0x0010: uploaded anonymously in active mode.
  dir.Write("stream.bin", std::string("\x1B\x7E\x49\x1B\x7E\x57\x10\x00\x42", 9));
  dir.Write("put.py",
            "import ftplib, sys\n"
            "f = ftplib.FTP()\n"
            "f.connect(sys.argv[1], int(sys.argv[2]))\n"
            "f.login()\n"
            "f.set_pasv(False)\n"
            "f.storbinary('STOR ~SdTest', open(sys.argv[3], 'rb'))\n"
            "f.quit()\n");
  const std::string put = "/usr/bin/python3 " + (dir / "put.py") + " " + printer.address + " " +
                          std::to_string(printer.ftp) + " " + (dir / "stream.bin");
  ASSERT_EQ(std::system(put.c_str()), 0);

  std::vector<std::uint8_t> memory;
  ASSERT_TRUE(process.Dump(dir / "127.0.0.3.txt", memory, error)) << error;
  EXPECT_EQ(memory[0x0010], 0x42);
  std::ifstream other(dir / "127.0.0.2.txt");
  std::string first;
  std::getline(other, first);
  EXPECT_EQ(first, "0000:" + std::string(64, '0'));
  process.Kill();
}

}  // namespace
}  // namespace pelmora::sim
