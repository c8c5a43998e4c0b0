# Writes the header that carries the SHA-256 of this tree's driver images into the program
# (see driverclient/driver_integrity.h). Run at build time, after the images are linked
# (and, on x64, signed):
#   cmake -DOUTPUT=<header> -DIMAGES="<Tarnel.sys>;<TarnelTest.sys>" -P TarnelDigests.cmake
set(entries "")
foreach(image ${IMAGES})
  file(SHA256 ${image} digest)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes ${digest})
  get_filename_component(name ${image} NAME)
  string(APPEND entries "    // ${name}: ${digest}\n    {${bytes}},\n")
endforeach()
set(text "// Generated at build time by cmake/TarnelDigests.cmake from this tree's driver images.
#pragma once

#include <vector>

#include \"driverclient/sha256.h\"

namespace velkor {

inline std::vector<Sha256Digest> BuiltDriverDigests() {
    return {
${entries}    };
}

}  // namespace velkor
")
# Rewritten only when the digests changed, so that an unchanged driver rebuilds nothing.
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${text}")
