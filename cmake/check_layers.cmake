# The layer rule: a folder includes headers, and its libraries link
# libraries, only from itself and from the layers below it.  From the top:
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

# The layer an include names, or "" when it names none: the first folder of
# the path, after "../" steps are resolved from the including file's folder.
function(_vex_included_layer root file path out)
  if(path MATCHES "(^|/)\\.\\.(/|$)")
    get_filename_component(_from "${file}" DIRECTORY)
    get_filename_component(_abs "${_from}/${path}" ABSOLUTE)
    file(RELATIVE_PATH path "${root}" "${_abs}")
  endif()
  set(_layer "")
  if(path MATCHES "^([^/]+)/")
    list(FIND _vex_layers "${CMAKE_MATCH_1}" _known)
    if(_known GREATER -1)
      set(_layer "${CMAKE_MATCH_1}")
    endif()
  endif()
  set(${out} "${_layer}" PARENT_SCOPE)
endfunction()

# vex_check_layers(<root>): stops with a message naming every include (in
# quotes or angle brackets, with or without "../") that reaches sideways or
# upwards, and every library or program of a layer's CMakeLists.txt that
# links a library of a layer it may not use.
function(vex_check_layers root)
  get_filename_component(root "${root}" ABSOLUTE)
  set(_errors "")
  foreach(_dir IN LISTS _vex_layers)
    set(_allowed ${_dir} ${_vex_layer_below_${_dir}})
    list(JOIN _allowed ", " _may)
    file(GLOB_RECURSE _files "${root}/${_dir}/*.h" "${root}/${_dir}/*.cpp")
    foreach(_file IN LISTS _files)
      file(STRINGS "${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
      file(RELATIVE_PATH _rel "${root}" "${_file}")
      get_filename_component(_name "${_file}" NAME)
      set(_file_allowed ${_allowed})
      if(_name MATCHES "_(test|perftest)(_[A-Za-z0-9_]+)?\\.(cpp|h)$")
        list(APPEND _file_allowed testenv)
      endif()
      foreach(_line IN LISTS _lines)
        if(NOT _line MATCHES "include[ \t]*[\"<]([^\">]+)[\">]")
          continue()
        endif()
        _vex_included_layer("${root}" "${_file}" "${CMAKE_MATCH_1}" _target)
        if(_target STREQUAL "")
          continue()
        endif()
        list(FIND _file_allowed ${_target} _ok)
        if(_ok EQUAL -1)
          string(STRIP "${_line}" _line)
          list(JOIN _file_allowed ", " _may_file)
          string(APPEND _errors
            "  ${_rel}: ${_line}\n    (${_dir}/ may include only ${_may_file})\n")
        endif()
      endforeach()
    endforeach()
    # Link dependencies: every vex_<layer> library named in the folder's
    # vex_library, vex_add_tests and target_link_libraries calls.
    set(_cmake "${root}/${_dir}/CMakeLists.txt")
    if(EXISTS "${_cmake}")
      file(READ "${_cmake}" _text)
      string(REGEX MATCHALL
        "(vex_library|vex_add_tests|target_link_libraries)[ \t]*\\([^)]*\\)"
        _calls "${_text}")
      foreach(_call IN LISTS _calls)
        # Test programs may also link the test environments.
        set(_call_allowed ${_allowed})
        if(_call MATCHES "^vex_add_tests" OR
           _call MATCHES "^target_link_libraries[ \t]*\\([ \t]*[A-Za-z0-9_]*(test|perftest|fuzz)")
          list(APPEND _call_allowed testenv)
        endif()
        string(REGEX MATCHALL "vex_[a-z]+" _libs "${_call}")
        foreach(_lib IN LISTS _libs)
          string(REGEX REPLACE "^vex_" "" _target "${_lib}")
          list(FIND _vex_layers "${_target}" _known)
          list(FIND _call_allowed "${_target}" _ok)
          if(_known GREATER -1 AND _ok EQUAL -1)
            string(APPEND _errors
              "  ${_dir}/CMakeLists.txt links ${_lib}\n    (${_dir}/ may link only ${_may})\n")
          endif()
        endforeach()
      endforeach()
    endif()
  endforeach()
  if(_errors)
    message(FATAL_ERROR
      "Layer check failed: these includes and links reach sideways or upwards\n"
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
