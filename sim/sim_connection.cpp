#include "sim_connection.h"

#include <algorithm>
#include <cstring>

namespace pelmora::sim {

namespace {

constexpr std::uint8_t kDeviceIdRequest[] = {0x1B, 0x01, '@', 'T',  'J', 'L',
                                             ' ',  'I',  'D', 0x0D, 0x0A};

}  // namespace

void CSimConnection::Take(std::uint32_t count, const std::uint8_t* bytes) {
  std::vector<CFakePrinter::Answer> answers;
  printer_.Receive(std::span<const std::uint8_t>(bytes, count), answers);
  // The writer has finished a command; a line would now fall quiet.
  printer_.Idle(answers);
  for (const CFakePrinter::Answer& answer : answers) {
    inbox_.insert(inbox_.end(), answer.begin(), answer.end());
  }
}

bool CSimConnection::GetDeviceID(std::uint8_t* buffer, std::uint32_t& length) {
  if (!open_) {
    lastError_ = port::ConnectionError::kNotOpen;
    return false;
  }
  Take(sizeof kDeviceIdRequest, kDeviceIdRequest);
  return Read(buffer, length);
}

bool CSimConnection::Write(const std::uint8_t* bytes, std::uint32_t count) {
  if (!open_) {
    lastError_ = port::ConnectionError::kNotOpen;
    return false;
  }
  Take(count, bytes);
  return true;
}

bool CSimConnection::Read(std::uint8_t* buffer, std::uint32_t& length) {
  if (!open_) {
    lastError_ = port::ConnectionError::kNotOpen;
    return false;
  }
  const std::uint32_t n =
      std::min<std::uint32_t>(length, static_cast<std::uint32_t>(inbox_.size()));
  if (n != 0) {
    std::memcpy(buffer, inbox_.data(), n);
  }
  inbox_.erase(inbox_.begin(), inbox_.begin() + n);
  length = n;
  return true;
}

}  // namespace pelmora::sim
