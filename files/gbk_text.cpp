#include "files/gbk_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace velkor {

namespace {

#ifdef _WIN32
// Windows converts through UTF-16 with its own tables; code page 936 is its GBK.
class Converter {
  public:
    Converter(const char* to, const char* from) : toPage_(PageOf(to)), fromPage_(PageOf(from)) {}

    // The whole input converted, or null when a byte sequence does not convert.
    std::optional<std::string> Convert(std::string_view input) {
        if (input.empty()) return std::string();
        const int inLength = static_cast<int>(input.size());
        const int wideLength = MultiByteToWideChar(fromPage_, MB_ERR_INVALID_CHARS, input.data(),
                                                   inLength, nullptr, 0);
        if (wideLength <= 0) return std::nullopt;
        std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
        MultiByteToWideChar(fromPage_, MB_ERR_INVALID_CHARS, input.data(), inLength, wide.data(),
                            wideLength);
        // Into GBK no character may be replaced by a look-alike or a '?': the conversion
        // fails instead, as it does with iconv.
        const DWORD flags = toPage_ == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
        BOOL lossy = FALSE;
        BOOL* lossyOut = toPage_ == CP_UTF8 ? nullptr : &lossy;
        const int outLength = WideCharToMultiByte(toPage_, flags, wide.data(), wideLength, nullptr,
                                                  0, nullptr, lossyOut);
        if (outLength <= 0 || lossy) return std::nullopt;
        std::string output(static_cast<std::size_t>(outLength), '\0');
        WideCharToMultiByte(toPage_, flags, wide.data(), wideLength, output.data(), outLength,
                            nullptr, lossyOut);
        if (lossy) return std::nullopt;
        return output;
    }

  private:
    static UINT PageOf(const char* name) { return name[0] == 'U' ? CP_UTF8 : 936; }
    UINT toPage_;
    UINT fromPage_;
};
#else
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
#endif

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
