#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quorvane::nts {

// Big-endian 16-bit words, as both NTS-KE records and NTP extension fields carry them.
inline uint16_t ReadU16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

inline void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xff));
}

}  // namespace quorvane::nts
