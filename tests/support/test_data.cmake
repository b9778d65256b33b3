# The hand-made and real capture data writers shared by the tests, the fuzz
# targets and the benchmarks. Without GoogleTest, so every program may link
# it; a skeleton file written makes the program's skeletons read it anew. Included from tests/ and from bench/, whichever comes first defines it.
if(NOT TARGET test_data)
  add_library(test_data STATIC
    ${CMAKE_CURRENT_LIST_DIR}/real_clips.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tiny_skeleton.cpp)
  target_include_directories(test_data PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(test_data PUBLIC motion)
endif()
