# The environment every test runs in: offscreen, C.UTF-8, UTC and the sanitizer options.
set(VAREMO_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")

# varemo_add_test(NAME <folder>_<area> SOURCES ... [LIBS ...] [TIMEOUT s] [ENV K=V ...])
# Builds one QtTest executable and registers it with CTest in the environment every test runs in.
function(varemo_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  # Tests find the installation data and the generated preset charts where the program does.
  add_dependencies(${T_NAME} varemo_install_data varemo_preset_charts)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${VAREMO_BIN_DIR})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${VAREMO_TEST_ENVIRONMENT};${T_ENV}")
endfunction()

# varemo_add_bench(NAME <name> SOURCES ... [LIBS ...]): a Google Benchmark program, never part of CTest.
function(varemo_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE benchmark::benchmark ${B_LIBS})
  target_include_directories(${B_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()

# varemo_shared_library(<target> <output name> SOURCES ...): a shared library with hidden symbols by default;
# only what the exported header marks is visible.
function(varemo_shared_library TARGET OUTNAME)
  cmake_parse_arguments(L "" "" "SOURCES" ${ARGN})
  add_library(${TARGET} SHARED ${L_SOURCES})
  set_target_properties(${TARGET} PROPERTIES
    OUTPUT_NAME ${OUTNAME}
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  install(TARGETS ${TARGET} LIBRARY DESTINATION bin RUNTIME DESTINATION bin)
endfunction()

# Globs the sources of a folder so that adding a file needs no edit of the folder's CMakeLists.txt.
function(varemo_glob_sources OUT DIR)
  file(GLOB _src CONFIGURE_DEPENDS ${DIR}/*.cpp ${DIR}/*.c ${DIR}/*.h ${DIR}/*.ui ${DIR}/*.qrc)
  set(${OUT} ${_src} PARENT_SCOPE)
endfunction()

# varemo_add_screen_entry(NAME <folder>_<entry> SOURCES ... SCREENS <screen> ... [LIBS ...])
# Adds one entry of the screenshot driver varemo_screens (tests/gui/screens/) and writes its screen list to
# <build>/screens/<entry>.screens, from which tests/gui/screens.sh knows the pictures to check. The first entry
# of a folder also registers <folder>_screens_walk: the script's dry run of the folder's entries, offscreen, in
# the environment of every test. The end-to-end entries (workflows_) are walked by their own test instead.
function(varemo_add_screen_entry)
  cmake_parse_arguments(S "" "NAME" "SOURCES;SCREENS;LIBS" ${ARGN})
  target_sources(varemo_screens PRIVATE ${S_SOURCES})
  if(S_LIBS)
    target_link_libraries(varemo_screens PRIVATE ${S_LIBS})
  endif()
  list(JOIN S_SCREENS "\n" _screens)
  file(WRITE ${CMAKE_BINARY_DIR}/screens/${S_NAME}.screens "${_screens}\n")

  string(REGEX REPLACE "_.*$" "" _folder ${S_NAME})
  get_property(_walked GLOBAL PROPERTY VAREMO_SCREEN_WALK_${_folder})
  if(_walked OR _folder STREQUAL "workflows")
    return()
  endif()
  set_property(GLOBAL PROPERTY VAREMO_SCREEN_WALK_${_folder} TRUE)
  add_test(NAME ${_folder}_screens_walk
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/gui/screens.sh --dry-run --only ${_folder}_
                   ${CMAKE_BINARY_DIR}/screens-walk/${_folder} ${CMAKE_BINARY_DIR}
           WORKING_DIRECTORY ${VAREMO_BIN_DIR})
  # Each walk builds the driver first: two walks at once would relink it under each other.
  set_tests_properties(${_folder}_screens_walk PROPERTIES
    TIMEOUT 600
    RESOURCE_LOCK varemo_screens_driver
    ENVIRONMENT "${VAREMO_TEST_ENVIRONMENT}")
endfunction()
