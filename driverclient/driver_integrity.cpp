#include "driverclient/driver_integrity.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/utf8_path.h"

namespace velkor {

DriverFileVerdict CheckDriverFile(const std::string& path,
                                  const std::vector<Sha256Digest>& accepted) {
    DriverFileVerdict verdict;
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        verdict.state = DriverFileVerdict::State::kMissing;
        return verdict;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file, ec)) {
        verdict.state = DriverFileVerdict::State::kUnreadable;
        verdict.reason = std::strerror(errno != 0 ? errno : EACCES);
        return verdict;
    }
    Sha256 sha;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        sha.Update(reinterpret_cast<const std::uint8_t*>(chunk),
                   static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        verdict.state = DriverFileVerdict::State::kUnreadable;
        verdict.reason = std::strerror(EIO);
        return verdict;
    }
    const Sha256Digest digest = sha.Finish();
    verdict.digest = DigestHex(digest);
    verdict.state = DriverFileVerdict::State::kChanged;
    for (const Sha256Digest& good : accepted) {
        if (good == digest) verdict.state = DriverFileVerdict::State::kGood;
    }
    return verdict;
}

}  // namespace velkor
