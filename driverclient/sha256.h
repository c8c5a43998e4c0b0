// SHA-256 (FIPS 180-4), for checking that the driver file is the one the program was built
// with: the program carries the digest of its Tarnel.sys and compares the file's against it
// before the file goes anywhere near the kernel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
  public:
    Sha256();
    void Update(const std::uint8_t* data, std::size_t length);
    Sha256Digest Finish();

  private:
    void Block(const std::uint8_t* block);
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingLength_ = 0;
    std::uint64_t totalLength_ = 0;
};

// Lower-case hexadecimal, as sha256sum prints it.
std::string DigestHex(const Sha256Digest& digest);

}  // namespace velkor
