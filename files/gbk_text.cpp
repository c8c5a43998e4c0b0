#include "files/gbk_text.h"

#include <iconv.h>

#include <cerrno>

namespace velkor {

namespace {

// One conversion descriptor per call: iconv keeps shift state in it, so sharing one between
// threads would need a lock, and settings are converted far too rarely for that to pay.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or null at the first byte sequence that does not convert.
    std::optional<std::string> Convert(std::string_view input) {
        if (!Ok()) return std::nullopt;
        std::string output;
        char buffer[1024];
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
            output.append(buffer, out);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) return std::nullopt;
        }
        return output;
    }

  private:
    iconv_t cd_;
};

// ASCII is the same in both encodings; most lines of a settings file are nothing else.
bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    return Converter("UTF-8", "GBK").Convert(gbk);
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Converter("GBK", "UTF-8").Convert(utf8);
}

}  // namespace velkor
