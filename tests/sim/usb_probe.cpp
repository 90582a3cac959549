// A USB host for the simulator's --usb mode: writes the bytes given in hex (e.g.
// "1B7E571000AB") to the first USB printer after reading its device
// ID, which it prints. Exits 0 when all of that worked, else 1.
#include <cstdio>
#include <string>
#include <vector>

#include "port/usb.h"

int main(int argc, char** argv) {
  std::vector<std::uint8_t> bytes;
  const std::string hex = argc > 1 ? argv[1] : "";
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  pelmora::port::CUsb usb("");
  if (usb.DeviceCount() != 1 || !usb.Open(0))
    return 1;
  std::uint8_t id[260] = {};
  std::uint32_t length = sizeof id;
  if (!usb.GetDeviceID(id, length) || length == 0)
    return 1;
  std::printf("%.*s\n", static_cast<int>(length), reinterpret_cast<const char*>(id));
  return usb.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) ? 0 : 1;
}
