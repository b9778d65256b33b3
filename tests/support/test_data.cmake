# The hand-made and real capture data writers shared by the tests, the fuzz
# targets and the benchmarks. Without GoogleTest and without libraries of its
# own (it uses only the motion headers' constants), so every program may link
# it. Included from tests/ and from bench/, whichever comes first defines it.
if(NOT TARGET test_data)
  add_library(test_data STATIC
    ${CMAKE_CURRENT_LIST_DIR}/real_clips.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tiny_skeleton.cpp)
  target_include_directories(test_data PUBLIC ${PROJECT_SOURCE_DIR})
endif()
