# Each folder's sources are picked up by glob so that adding a file needs no
# edit of a shared list. DEPENDS names the libraries whose headers the folder
# includes, and nothing else: scripts/check-layers keeps the includes in order.

function(_vellacord_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  list(FILTER _src EXCLUDE REGEX "/main\\.cpp$")
  if(NOT _src)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "namespace {}\n")
    set(_src ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# A library without Qt GUI from the folder's own sources: the command line
# and the fuzzers link these alone.
function(vellacord_core_library name)
  _vellacord_library(${name} ${CMAKE_CURRENT_SOURCE_DIR}
    DEPENDS Qt6::Core Qt6::Network Qt6::Concurrent ${ARGN})
endfunction()

# The widget kit from the folder's own sources, the one library below the
# views that links Qt GUI and widgets.
function(vellacord_widget_kit_library name)
  _vellacord_library(${name} ${CMAKE_CURRENT_SOURCE_DIR}
    DEPENDS Qt6::Core Qt6::Gui Qt6::Widgets ${ARGN})
endfunction()

# A widget library from the folder's views/ subfolder, on top of the widget kit.
function(vellacord_views_library name)
  if(VELLACORD_FUZZ)  # the fuzzers reach core code only
    return()
  endif()
  _vellacord_library(${name} ${CMAKE_CURRENT_SOURCE_DIR}/views
    DEPENDS Qt6::Widgets vellacord_ui ${ARGN})
endfunction()

# One QtTest executable per tests/<folder>/test_*.cpp, linked with LIBRARY;
# those in tests/<folder>/views/ are linked with VIEWS instead. All run under
# the offscreen platform.
function(vellacord_add_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBRARY;VIEWS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  file(GLOB _vtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/views/test_*.cpp)
  foreach(_t ${_tests} ${_vtests})
    get_filename_component(_n ${_t} NAME_WE)
    set(_target ${folder}_${_n})
    add_executable(${_target} ${_t})
    list(FIND _vtests ${_t} _isview)
    if(_isview EQUAL -1)
      target_link_libraries(${_target} PRIVATE vellacord_testsupport Qt6::Test ${ARG_LIBRARY})
    else()
      target_link_libraries(${_target} PRIVATE vellacord_testsupport Qt6::Test ${ARG_VIEWS})
    endif()
    add_test(NAME ${_target} COMMAND ${_target})
    set_tests_properties(${_target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELLACORD_CLI=$<TARGET_FILE:vellacord-cli>;VELLACORD_ARCHIVE_WRITER=$<TARGET_FILE:vellacord-archive-writer>;VELLACORD_SOURCE_DIR=${PROJECT_SOURCE_DIR};${VELLACORD_TEST_ENVIRONMENT}"
      TIMEOUT 600)
  endforeach()
endfunction()
