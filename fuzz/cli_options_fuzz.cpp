// libFuzzer target for the command line's option parser: the input, cut at zero bytes, is the
// argument list. Whatever it holds, the parser returns options or a usage error, never both
// nothing and a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"velkorisp-cli"};
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (!word.empty()) words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    const velkor::cli::ParseResult result =
        velkor::cli::ParseCommandLine(static_cast<int>(words.size()), argv.data());
    (void)result;
    return 0;
}
