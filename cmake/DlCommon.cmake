# Shared settings and helpers of both build trees.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(DL_WINDOWS ON)
else()
  set(DL_WINDOWS OFF)
endif()

option(DL_SANITIZE "Native tree: build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)

# Warnings apply to project code only (third-party code gets its own flags).
set(DL_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)

function(dl_project_target target)
  target_compile_options(${target} PRIVATE ${DL_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(DL_WINDOWS)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

if(NOT DL_WINDOWS AND DL_SANITIZE)
  set(DL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${DL_SANITIZER_FLAGS})
  add_link_options(${DL_SANITIZER_FLAGS})
endif()

if(DL_WINDOWS)
  # Everything we ship or run under Wine links the C++ runtime statically,
  # so the binaries import system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# GoogleTest from the Debian source package, built by this tree's compiler.
set(DL_GTEST_SOURCE /usr/src/googletest)
set(DL_TEST_TIMEOUT 120 CACHE STRING "Default time-out of one test program, in seconds")

macro(dl_enable_gtest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${DL_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endmacro()

# dl_add_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
# One test program per call; under the cross tree ctest runs it through wine-run.sh.
function(dl_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  dl_enable_gtest()
  add_executable(${name} ${T_SOURCES})
  dl_project_target(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${DL_TEST_TIMEOUT})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(DL_WINDOWS)
    set(_labels wine ${T_LABELS})
  else()
    set(_labels native ${T_LABELS})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${_labels}"
    ENVIRONMENT "DL_TEST_TIMEOUT=${T_TIMEOUT};DL_BIN_DIR=${PROJECT_BINARY_DIR}/bin;DL_EXPECT_GTEST=1")
endfunction()

# Binaries that tests start as real processes go into one folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# dl_add_subdirectories_with_lists(<base> [EXCEPT <name>...])
# Adds every <base>/<dir> that has a CMakeLists.txt, but those named after EXCEPT.
function(dl_add_subdirectories_with_lists base)
  cmake_parse_arguments(D "" "" "EXCEPT" ${ARGN})
  file(GLOB _children LIST_DIRECTORIES true ${base}/*)
  foreach(_child IN LISTS _children)
    get_filename_component(_name ${_child} NAME)
    if(_name IN_LIST D_EXCEPT)
      continue()
    endif()
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endfunction()

# dl_split_debug_info(<target>)
# The shipped binary carries no debug sections and no symbol table: both go into <file>.debug
# beside it, which the binary names in a debug link, so a crash address can still be read.
function(dl_split_debug_info target)
  if(NOT DL_WINDOWS OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --strip-unneeded --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Moving the debug sections of ${target} into $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()
