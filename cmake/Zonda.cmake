# Shared build helpers. Every folder builds one static library from the .cpp
# files directly inside it; subfolders with their own CMakeLists.txt are added
# automatically, so a new unit needs no edit outside its folder.

set(ZONDA_WARNINGS -Wall -Wextra)
if(ZONDA_WERROR)
  list(APPEND ZONDA_WARNINGS -Werror)
endif()

if(ZONDA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ZONDA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt.
function(zonda_add_subdirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# zonda_library(NAME [DEPS libs...]): static library of this folder's *.cpp,
# its public include root being the repository root (includes read "engine/X.h").
function(zonda_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${ZONDA_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# zonda_shared_library(NAME OUTPUT_NAME [DEPS ...]): a run-time loaded library,
# copied into the installation tree beside the program.
function(zonda_shared_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} SHARED ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ZONDA_WARNINGS} -fvisibility=hidden)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ZONDA_INSTALL_TREE})
  install(TARGETS ${name} LIBRARY DESTINATION .)
endfunction()

# zonda_executable(NAME SOURCES... [DEPS ...] [INSTALL]): a program; INSTALL puts it
# into the installation tree (so its ProgramDir is that tree).
function(zonda_executable name)
  cmake_parse_arguments(ARG "INSTALL" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ZONDA_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  if(ARG_INSTALL)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZONDA_INSTALL_TREE})
    install(TARGETS ${name} RUNTIME DESTINATION .)
  endif()
endfunction()

# zonda_test(SOURCE [DEPS ...] [LABELS ...]): one GoogleTest executable per test file,
# so a unit's tests build and fail on their own.
function(zonda_test source)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS;LABELS" ${ARGN})
  get_filename_component(base ${source} NAME_WE)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  set(target ${prefix}_${base})
  add_executable(${target} ${source})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${ZONDA_WARNINGS})
  target_link_libraries(${target} PRIVATE zonda_test_main zonda_test_support ${ARG_DEPS} GTest::gtest GTest::gmock)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${target} COMMAND ${target})
  set(timeout 300)
  if(ARG_TIMEOUT)
    set(timeout ${ARG_TIMEOUT})
  endif()
  # A program whose tests passed with some skipped exits 77 (tests/support/TestMain.cpp).
  set_tests_properties(${target} PROPERTIES TIMEOUT ${timeout} SKIP_RETURN_CODE 77
    ENVIRONMENT "ZONDA_PROGRAM_DIR=${ZONDA_INSTALL_TREE};ZONDA_SOURCE_DIR=${PROJECT_SOURCE_DIR};QT_QPA_PLATFORM=offscreen;ZONDA_TEST_BIN=${CMAKE_BINARY_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
  if(ARG_LABELS)
    set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# zonda_bench(SOURCE [DEPS ...]): a Google Benchmark program.
function(zonda_bench source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_filename_component(base ${source} NAME_WE)
  add_executable(${base} ${source})
  target_include_directories(${base} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${base} PRIVATE zonda_test_support ${ARG_DEPS} benchmark::benchmark)
  set_target_properties(${base} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
