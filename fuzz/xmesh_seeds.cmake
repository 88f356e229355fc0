# The .x fuzzer's seed writer, built from the fuzz and the test trees alike.
if(NOT TARGET xmesh_seeds)
  find_package(ZLIB REQUIRED)
  add_executable(xmesh_seeds ${CMAKE_SOURCE_DIR}/fuzz/xmesh_seeds.cpp ${CMAKE_SOURCE_DIR}/tests/mesh/xwriter.cpp
                             ${CMAKE_SOURCE_DIR}/tests/mesh/xFixtures.cpp)
  target_include_directories(xmesh_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tests/mesh)
  target_link_libraries(xmesh_seeds PRIVATE ZLIB::ZLIB)
endif()
