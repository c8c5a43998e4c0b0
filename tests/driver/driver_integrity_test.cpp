// The driver file check: the digest (against published SHA-256 vectors, across the padding
// boundaries) and the verdicts on real files.
#include "driverclient/driver_integrity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace velkor {
namespace {

std::string Hex(const std::string& text) {
    Sha256 sha;
    sha.Update(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return DigestHex(sha.Finish());
}

TEST(DriverIntegrity, DigestMatchesThePublishedVectors) {
    EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(DriverIntegrity, OnlyTheBuiltImageIsGood) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("velkor-integrity-" + std::to_string(getpid()));
    fs::create_directories(dir / "folder");
    const std::string image(3000, '\x5A');
    std::ofstream(dir / "Tarnel.sys", std::ios::binary) << image;
    Sha256 sha;
    sha.Update(reinterpret_cast<const std::uint8_t*>(image.data()), image.size());
    const Sha256Digest built = sha.Finish();
    const Sha256Digest other{};
    const std::string path = (dir / "Tarnel.sys").string();

    EXPECT_EQ(CheckDriverFile(path, {other, built}).state, DriverFileVerdict::State::kGood);
    std::string changed = image;
    changed[2999] = '\x5B';
    std::ofstream(dir / "Tarnel.sys", std::ios::binary) << changed;
    const DriverFileVerdict swapped = CheckDriverFile(path, {built});
    EXPECT_EQ(swapped.state, DriverFileVerdict::State::kChanged);
    EXPECT_EQ(swapped.digest, Hex(changed));
    EXPECT_EQ(CheckDriverFile((dir / "none.sys").string(), {built}).state,
              DriverFileVerdict::State::kMissing);
    EXPECT_EQ(CheckDriverFile((dir / "folder").string(), {built}).state,
              DriverFileVerdict::State::kUnreadable);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velkor
