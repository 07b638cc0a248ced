#pragma once

#include <cstdint>
#include <cstring>

namespace Mgc {

/// The low 32 bits of a double's bit pattern: the key the vectors' ordering
/// compares.
inline std::uint32_t lowWord(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return static_cast<std::uint32_t>(bits);
}

}  // namespace Mgc
