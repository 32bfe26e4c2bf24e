# The layer rule: a folder includes headers only from itself and from the
# layers below it.  From the top:
#
#   driver -> intake, report, posting -> msgbase -> core -> util -> platform
#
# intake, report and posting are side by side and never include each other.
# testenv (the in-memory, fault and power-cut environments) stands beside the
# product: it includes only platform, and in the other folders only test
# code (*_test.cpp, *_perftest.cpp, *_test_*.h) may include it.
# Folders not named here (tests/, fuzz/ and the like) sit above everything.
#
# Included from the top CMakeLists.txt, it checks the source tree at
# configure time; run as a script it checks the tree under VEX_LAYER_ROOT:
#   cmake -DVEX_LAYER_ROOT=<dir> -P cmake/check_layers.cmake

set(_vex_layer_below_platform "")
set(_vex_layer_below_testenv platform)
set(_vex_layer_below_util platform)
set(_vex_layer_below_core util platform)
set(_vex_layer_below_msgbase core util platform)
set(_vex_layer_below_intake msgbase core util platform)
set(_vex_layer_below_report msgbase core util platform)
set(_vex_layer_below_posting msgbase core util platform)
set(_vex_layer_below_driver intake report posting msgbase core util platform)
set(_vex_layers platform testenv util core msgbase intake report posting driver)

# vex_check_layers(<root>): stops with a message naming every include that
# reaches sideways or upwards.
function(vex_check_layers root)
  set(_errors "")
  foreach(_dir IN LISTS _vex_layers)
    file(GLOB_RECURSE _files "${root}/${_dir}/*.h" "${root}/${_dir}/*.cpp")
    set(_allowed ${_dir} ${_vex_layer_below_${_dir}})
    foreach(_file IN LISTS _files)
      file(STRINGS "${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      file(RELATIVE_PATH _rel "${root}" "${_file}")
      get_filename_component(_name "${_file}" NAME)
      set(_file_allowed ${_allowed})
      if(_name MATCHES "_(test|perftest)(_[A-Za-z0-9_]+)?\\.(cpp|h)$")
        list(APPEND _file_allowed testenv)
      endif()
      foreach(_line IN LISTS _lines)
        if(NOT _line MATCHES "\"([^\"/]+)/[^\"]*\"")
          continue()
        endif()
        set(_target ${CMAKE_MATCH_1})
        list(FIND _vex_layers ${_target} _known)
        list(FIND _file_allowed ${_target} _ok)
        if(_known GREATER -1 AND _ok EQUAL -1)
          string(STRIP "${_line}" _line)
          list(JOIN _file_allowed ", " _may)
          string(APPEND _errors
            "  ${_rel}: ${_line}\n    (${_dir}/ may include only ${_may})\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(_errors)
    message(FATAL_ERROR
      "Layer check failed: these includes reach sideways or upwards\n"
      "(driver -> intake/report/posting -> msgbase -> core -> util -> platform;\n"
      " testenv only in test code):\n"
      "${_errors}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT VEX_LAYER_ROOT)
    message(FATAL_ERROR "usage: cmake -DVEX_LAYER_ROOT=<dir> -P check_layers.cmake")
  endif()
  vex_check_layers("${VEX_LAYER_ROOT}")
  message(STATUS "Layer check passed: ${VEX_LAYER_ROOT}")
endif()
