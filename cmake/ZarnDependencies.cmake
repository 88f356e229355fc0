# Every dependency is a Debian package installed by scripts/setup.sh.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# Irrlicht ships no pkg-config file.
find_path(IRRLICHT_INCLUDE_DIR irrlicht.h PATH_SUFFIXES irrlicht REQUIRED)
find_library(IRRLICHT_LIBRARY Irrlicht REQUIRED)
add_library(zarn::irrlicht INTERFACE IMPORTED)
target_include_directories(zarn::irrlicht INTERFACE ${IRRLICHT_INCLUDE_DIR})
target_link_libraries(zarn::irrlicht INTERFACE ${IRRLICHT_LIBRARY})

pkg_check_modules(ZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.3)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)

find_path(INIPARSER_INCLUDE_DIR iniparser.h PATH_SUFFIXES iniparser REQUIRED)
find_library(INIPARSER_LIBRARY iniparser REQUIRED)
add_library(zarn::iniparser INTERFACE IMPORTED)
target_include_directories(zarn::iniparser INTERFACE ${INIPARSER_INCLUDE_DIR})
target_link_libraries(zarn::iniparser INTERFACE ${INIPARSER_LIBRARY})

find_package(X11 REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

if(ZARN_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(ZARN_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
