// The loaded files put into the engine's images: the files room reads a file into a value, and
// this is where that value reaches the engine, with its lines in the engine's log.
#pragma once

#include <string>
#include <string_view>

#include "engine/isp_programmer.h"
#include "files/image_loader.h"

namespace velkor {

// Logs the load's lines, lets `file` remember `path` (a non-empty one), and when the load
// carries an image replaces the engine's image of that kind with it and tells `file` where its
// data lies. Returns the load's result.
int PutImage(IspProgrammer& engine, HexFile& file, const std::string& path, bool flash,
             LoadedImage image);

// ReadImageFile / ReadImageText, then PutImage.
int LoadFlashImage(IspProgrammer& engine, HexFile& file, const std::string& path);
int LoadEepromImage(IspProgrammer& engine, HexFile& file, const std::string& path);
int LoadHexText(IspProgrammer& engine, HexFile& file, const std::string& path,
                std::string_view text, bool flash);

}  // namespace velkor
