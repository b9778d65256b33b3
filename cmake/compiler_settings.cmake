# One place for the compiler settings of the whole tree.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

# Float results must not depend on the optimiser: no contraction into fused
# multiply-adds, never fast-math.
add_compile_options(-Wall -Wextra -Werror -Werror=format-security -ffp-contract=off)

if(TAVRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(TAVRIN_TSAN)
  if(TAVRIN_SANITIZE)
    message(FATAL_ERROR "TAVRIN_TSAN and TAVRIN_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(TAVRIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVRIN_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage feedback from the libraries too, not only from the fuzz harness.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
