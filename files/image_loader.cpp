#include "files/image_loader.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "engine/isp_programmer.h"
#include "files/hex_reader.h"
#include "files/utf8_path.h"

namespace velkor {

bool HexFile::Open(const std::string& path) {
    if (path.empty()) return false;
    file_.reset();
    path_ = path;
    // A plain read-only open: the C runtime lets other programs keep reading and rewriting the
    // file meanwhile, so a build tool can replace it while we hold it.
    file_.reset(OpenFileUtf8(path, "r"));
    return file_ != nullptr;
}

namespace {

int LoadImage(IspProgrammer& programmer, HexFile& file, const std::string& path,
              std::span<std::uint8_t> image, std::uint32_t& loadedLength) {
    if (path.empty()) return kHexLoadNoPath;
    if (!file.Open(path)) {
        programmer.AppendLogF("无法打开HEX文件 %s, 映像保持不变.\r\n", path.c_str());
        return kHexLoadOpenFailed;
    }
    std::fill(image.begin(), image.end(), std::uint8_t{0xFF});
    const int faultyLine = ReadHexImage(file.Stream(), image, loadedLength);
    // The image keeps what was read before the fault, as it always has; the log line makes sure
    // a damaged file is never programmed without the user being told.
    if (faultyLine != 0) {
        programmer.AppendLogF("HEX文件 %s 第 %d 行有错误, 读取在此停止, 其后的数据未载入.\r\n",
                              path.c_str(), faultyLine);
    }
    return faultyLine;
}

}  // namespace

int LoadFlashImage(IspProgrammer& programmer, HexFile& file, const std::string& path) {
    return LoadImage(programmer, file, path, programmer.flashImage, programmer.flashImageLength);
}

int LoadEepromImage(IspProgrammer& programmer, HexFile& file, const std::string& path) {
    return LoadImage(programmer, file, path, programmer.eepromImage, programmer.eepromImageLength);
}

}  // namespace velkor
