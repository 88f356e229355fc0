# Installation, man pages and the Debian package.
#
# Layout under the prefix:
#   lib/zarn/zarn                  the player; the engine's standard folders
#   lib/zarn/shaders/ ... textures/  sit beside it, as it looks for them in
#                                  its own directory
#   bin/zarn -> ../lib/zarn/zarn   the program directory is taken from the
#                                  resolved path, so the link works
#   bin/<tool>                     the tools
#   share/man/man1/*.1.gz          man pages made from the --help texts
#   share/doc/zarn/examples/       the examples
include(GNUInstallDirs)

set(ZARN_PRIVATE_DIR lib/zarn)
get_property(ZARN_TOOLS GLOBAL PROPERTY ZARN_TOOL_TARGETS)

install(TARGETS zarn RUNTIME DESTINATION ${ZARN_PRIVATE_DIR})
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(REMOVE \"\${bin}/zarn\")
  file(CREATE_LINK ../${ZARN_PRIVATE_DIR}/zarn \"\${bin}/zarn\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/zarn -> ../${ZARN_PRIVATE_DIR}/zarn\")")
if(ZARN_TOOLS)
  install(TARGETS ${ZARN_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The engine's own data lives in data/<folder>/ (a <folder>/ at the top of
# the sources is taken too). Each standard folder is installed, empty until
# the engine ships files in it, so a user's shaders and textures have their
# place. shadersCache/ is left out: the engine writes it, and an installed
# program directory is not writable (the cache then stays off).
set(ZARN_STANDARD_FOLDERS shaders shadersPP shadersPP2 shadersSURF shadersSURF2 shadersHV textures)
foreach(folder ${ZARN_STANDARD_FOLDERS})
  install(DIRECTORY DESTINATION ${ZARN_PRIVATE_DIR}/${folder})
  foreach(root ${CMAKE_SOURCE_DIR}/data ${CMAKE_SOURCE_DIR})
    if(IS_DIRECTORY ${root}/${folder})
      install(DIRECTORY ${root}/${folder} DESTINATION ${ZARN_PRIVATE_DIR})
    endif()
  endforeach()
  # The built program finds data/ the same way, from its own directory.
  if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/data/${folder} AND NOT EXISTS ${CMAKE_BINARY_DIR}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/data/${folder} ${CMAKE_BINARY_DIR}/${folder} SYMBOLIC)
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Man pages, one per program, from its own --help (Debian's help2man).
set(ZARN_MAN_zarn "real-time 3D demo, scene and object player")
set(ZARN_MAN_zfconv "convert a ZF scene document between text and binary form")
set(ZARN_MAN_zarn-hlslc "compile an HLSL shader as the Zarn engine does")
find_program(ZARN_HELP2MAN help2man)
find_program(ZARN_GZIP gzip)
if(ZARN_HELP2MAN AND ZARN_GZIP)
  set(pages "")
  foreach(program zarn ${ZARN_TOOLS})
    set(summary "${ZARN_MAN_${program}}")
    get_target_property(own ${program} ZARN_MAN_SUMMARY)
    if(own)
      set(summary "${own}")
    elseif(NOT summary)
      set(summary "a tool of the Zarn engine")
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${ZARN_HELP2MAN} -DGZIP=${ZARN_GZIP}
              -DPROGRAM=$<TARGET_FILE:${program}> "-DSUMMARY=${summary}" -DOUTPUT=${page}
              -P ${CMAKE_SOURCE_DIR}/cmake/ZarnManPage.cmake
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/cmake/ZarnManPage.cmake
      COMMENT "Man page ${program}(1)"
      VERBATIM)
    list(APPEND pages ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)
  endforeach()
  add_custom_target(zarn_man ALL DEPENDS ${pages})
  set(ZARN_MAN_PAGES ON)
else()
  message(STATUS "help2man or gzip not found: building without man pages (scripts/setup.sh installs help2man)")
  set(ZARN_MAN_PAGES OFF)
endif()

# The Debian package: build/zarn_<version>_<arch>.deb with `cpack -G DEB`
# (or the zarn_deb target). Depends comes from the shared libraries the
# programs link (dpkg-shlibdeps), not from a hand-kept list.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zarn developers <zarn@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D playback engine for demos and animated scenes")
set(CPACK_PACKAGE_DESCRIPTION "Zarn plays real-time 3D demos and animated scenes exported from LightWave,
shows objects, and runs Lua scripts that drive the engine. It renders with
Irrlicht on OpenGL and translates the HLSL of its effects to GLSL. The package
also holds the tools zfconv and zarn-hlslc.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
include(CPack)

# cpack and the install target only package what is built: a package being
# made must never relink programs that tests are running at the same time.
# zarn_deb builds what goes into the package first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(zarn_deb
  COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Building the Debian package"
  VERBATIM)
add_dependencies(zarn_deb zarn ${ZARN_TOOLS})
if(TARGET zarn_man)
  add_dependencies(zarn_deb zarn_man)
endif()
