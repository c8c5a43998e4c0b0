// Times our HEX reader against srec_cat on the same conversion: a 128 KiB random image written
// as Intel HEX by srec_cat, turned back into a binary image. Prints both times and their ratio.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files/hex_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) {
        std::printf(
            "hex_parse_bench: srec_cat is not installed (scripts/install-deps.sh adds it); "
            "nothing measured.\n");
        return 0;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "velkor-bench-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    const std::filesystem::path dir = pattern;
    const std::string random = (dir / "random.bin").string();
    const std::string hex = (dir / "random.hex").string();
    const std::string out = (dir / "random.out.bin").string();

    constexpr std::size_t kImageSize = 128 * 1024;
    std::vector<char> bytes(kImageSize);
    std::mt19937 generator(2024);
    for (char& c : bytes) c = static_cast<char>(generator());
    std::ofstream(random, std::ios::binary).write(bytes.data(), kImageSize);
    if (std::system(("srec_cat " + random + " -binary -o " + hex + " -intel").c_str()) != 0) {
        return 1;
    }

    // Ours: open the file and read it into the image, as a flash load does.
    std::vector<std::uint8_t> image(kImageSize);
    std::vector<double> ours;
    for (int run = 0; run < 21; ++run) {
        std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
        std::uint32_t length = 0;
        const auto start = Clock::now();
        std::FILE* file = std::fopen(hex.c_str(), "r");
        if (file == nullptr) return 1;
        const int result = velkor::ReadHexImage(file, image, length);
        std::fclose(file);
        ours.push_back(MillisecondsSince(start));
        if (result != 0 || length != kImageSize) return 1;
    }

    // srec_cat: the same file to a binary image; this includes starting its process.
    std::vector<double> theirs;
    const std::string convert = "srec_cat " + hex + " -intel -o " + out + " -binary";
    for (int run = 0; run < 7; ++run) {
        const auto start = Clock::now();
        if (std::system(convert.c_str()) != 0) return 1;
        theirs.push_back(MillisecondsSince(start));
    }

    std::ifstream in(out, std::ios::binary);
    const std::vector<char> converted{std::istreambuf_iterator<char>(in), {}};
    const bool same = converted.size() == image.size() &&
                      std::equal(image.begin(), image.end(), converted.begin(),
                                 [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
    const auto textSize = static_cast<std::size_t>(std::filesystem::file_size(hex));
    std::filesystem::remove_all(dir);

    const double oursMs = Median(ours);
    const double theirsMs = Median(theirs);
    std::printf("HEX file of a 128 KiB image (%zu bytes of text)\n", textSize);
    std::printf("ReadHexImage          %8.3f ms  (median of %zu runs)\n", oursMs, ours.size());
    std::printf("srec_cat -> binary    %8.3f ms  (median of %zu runs, process start included)\n",
                theirsMs, theirs.size());
    std::printf("ratio srec_cat / ours %8.2f\n", theirsMs / oursMs);
    std::printf("images identical: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
