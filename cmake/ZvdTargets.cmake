# SPDX-License-Identifier: MIT
# Shared helpers for the project's libraries and tests.

# zvd_library(NAME DIR DEPS...): one static library from every .cpp in DIR.
function(zvd_library name dir)
  file(GLOB _src CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(_src)
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# zvd_test(<name> SOURCES ... LIBS ... [GUI] [SERIAL] [TIMEOUT s] [LABELS ...]): a GoogleTest program run by CTest.
# GUI tests run under a private Xvfb server of their own (scripts/with-xvfb),
# so they never share a display with another test and may run in parallel.
# The name may also be given as "NAME <name>".
function(zvd_test name)
  set(_args ${ARGN})
  if(name STREQUAL "NAME")
    list(POP_FRONT _args name)
  endif()
  cmake_parse_arguments(T "GUI;SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${_args})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")
  if(T_GUI)
    add_test(NAME ${name} COMMAND "${PROJECT_SOURCE_DIR}/scripts/with-xvfb" $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "GDK_BACKEND=x11;NO_AT_BRIDGE=1;GTK_A11Y=none")
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
