# Settings of the Windows trees only (see cmake/mingw-common.cmake).

# Programs link their C and C++ runtimes statically, so that they run on a bare Windows
# (and under wine) with nothing but the system DLLs beside them.
add_link_options(-static)

# GoogleTest for the cross compiler, built from Debian's source package: the host's
# prebuilt libraries are of no use to a Windows executable. Its own sources are not held to
# our warning flags.
set(VELKOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
get_directory_property(velkor_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${VELKOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${velkor_options}")
# GoogleTest's own tree defines the GTest::gtest and GTest::gtest_main targets we link.

# The desktop program's resource script (resources/velkor.rc), compiled by windres.
enable_language(RC)
