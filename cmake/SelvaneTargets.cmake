# Shared build settings and the helpers every subsystem uses.
#
# File naming inside a subsystem folder:
#   name.cpp            portable, built everywhere
#   name_win32.cpp      Windows builds only
#   name_posix.cpp      Linux builds only
#   name_test.cpp       native unit test (GoogleTest), Linux only
#   name_wintest.cpp    unit test built for Windows and run under Wine (windows-test preset)

add_library(selvane_options INTERFACE)
# Warnings fail the build where the presets say so (CMAKE_COMPILE_WARNING_AS_ERROR).
target_compile_options(selvane_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
# GCC 12 reports bogus overlaps inside std::string at -O3 (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(selvane_options INTERFACE -Wno-restrict)
endif()
target_compile_definitions(selvane_options INTERFACE
  SELVANE_INTERNET_HOST="${SELVANE_INTERNET_HOST}"
  SELVANE_LAN_HOST="${SELVANE_LAN_HOST}"
  SELVANE_VERSION="${PROJECT_VERSION}")
if(WIN32)
  target_compile_definitions(selvane_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  target_link_options(selvane_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Address randomisation (with the relocations it needs kept) and no
  # execution of data pages; Debian 12's linker does so by default, and saying
  # it keeps an older one from quietly dropping it. A 32-bit program may use
  # the full 4 GB that a 64-bit Windows gives it; a 64-bit one is randomised
  # over its whole address space.
  target_link_options(selvane_options INTERFACE -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(selvane_options INTERFACE -Wl,--high-entropy-va)
  else()
    target_link_options(selvane_options INTERFACE -Wl,--large-address-aware)
  endif()
endif()
if(SELVANE_SANITIZE AND NOT WIN32)
  target_compile_options(selvane_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(selvane_options INTERFACE -fsanitize=address,undefined)
endif()
if(SELVANE_TSAN AND NOT WIN32)
  target_compile_options(selvane_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(selvane_options INTERFACE -fsanitize=thread)
endif()
if(SELVANE_FUZZ)
  target_compile_options(selvane_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(selvane_options INTERFACE -fsanitize=address,undefined)
endif()

# zlib: static on Windows so that Selvane.exe imports system DLLs only.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

# OpenSSL's libcrypto verifies signatures natively and signs them in the
# vendor's tool; Windows builds use the system's own CNG instead.
if(NOT WIN32)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
endif()

# nlohmann-json is header-only; expose only its own folder, also to the cross builds.
set(SELVANE_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${SELVANE_THIRD_PARTY_INCLUDE})
if(NOT EXISTS ${SELVANE_THIRD_PARTY_INCLUDE}/nlohmann)
  file(CREATE_LINK /usr/include/nlohmann ${SELVANE_THIRD_PARTY_INCLUDE}/nlohmann SYMBOLIC)
endif()
add_library(selvane_json INTERFACE)
target_include_directories(selvane_json SYSTEM INTERFACE ${SELVANE_THIRD_PARTY_INCLUDE})

# GoogleTest: the system package natively, built from Debian's sources for Windows.
if(SELVANE_BUILD_TESTS)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Not our code: its warnings are not ours to fail on.
    set_target_properties(gtest gtest_main gmock gmock_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
    add_library(selvane_gtest INTERFACE)
    target_link_libraries(selvane_gtest INTERFACE gtest_main gmock)
  else()
    find_package(GTest REQUIRED)
    add_library(selvane_gtest INTERFACE)
    target_link_libraries(selvane_gtest INTERFACE GTest::gtest_main GTest::gmock)
  endif()
  include(GoogleTest)
endif()

# selvane_sources(<out-var>): the sources of the current folder that belong to this build.
function(selvane_sources out)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(result)
  foreach(f IN LISTS all)
    get_filename_component(n ${f} NAME_WE)
    if(n MATCHES "_test$" OR n MATCHES "_wintest$")
      continue()
    elseif(n MATCHES "_win32$")
      if(WIN32)
        list(APPEND result ${f})
      endif()
    elseif(n MATCHES "_posix$")
      if(NOT WIN32)
        list(APPEND result ${f})
      endif()
    else()
      list(APPEND result ${f})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# selvane_library(<name> [DEPS ...] [EXCLUDE file.cpp ...]): a static library of the
# folder's sources (an interface target while the folder has none).
#
# Code includes a folder's headers as "<folder>/<name>.h". Each library exposes
# only its own folder, through an include root of its own in the build tree
# (<build>/include/<folder>/<folder> links to the source folder), and passes on
# the roots of what it links. A header of a folder the target does not link is
# therefore not found: a dependency against the layering fails the build.
function(selvane_library name)
  cmake_parse_arguments(A "" "" "DEPS;EXCLUDE" ${ARGN})
  selvane_sources(srcs)
  foreach(x IN LISTS A_EXCLUDE)
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC selvane_options ${A_DEPS})
    target_include_directories(${name} PUBLIC ${root})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE selvane_options ${A_DEPS})
    target_include_directories(${name} INTERFACE ${root})
  endif()
endfunction()

# selvane_tests(<name> DEPS ...): one test program of the folder's *_test.cpp (native)
# or *_wintest.cpp (Windows, run under Wine through the cross-compiling emulator).
function(selvane_tests name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  if(NOT SELVANE_BUILD_TESTS)
    return()
  endif()
  if(WIN32)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_wintest.cpp)
  else()
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  endif()
  if(NOT tests)
    return()
  endif()
  add_executable(${name} ${tests})
  target_link_libraries(${name} PRIVATE ${A_DEPS} selvane_gtest selvane_options)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# selvane_split_symbols(<target>): a Windows release executable ships without
# its symbols (half its size is the static runtime's debug sections) and
# keeps them beside it as <name>.debug, linked by name and checksum so that a
# debugger or a crash report's addresses find them. Signing comes later, on
# the stripped file.
function(selvane_split_symbols target)
  if(NOT WIN32 OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
