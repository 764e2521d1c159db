# SPDX-License-Identifier: MIT
# The hardening flags a Debian package build gets from dpkg-buildflags, for every program
# of the project: stack protector and stack-clash protection, format-string checks,
# control-flow protection where the target has it, position-independent executables and
# read-only relocations bound at start-up. _FORTIFY_SOURCE needs optimisation, so only the
# optimising build types get it; the sanitizer and fuzz builds leave it out, because the
# checked copies of the string functions would bypass the sanitizers' own checks.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(_flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "ZVD_HAS${_flag}" _have)
  check_cxx_compiler_flag(${_flag} ${_have})
  if(${_have})
    add_compile_options(${_flag})
  endif()
endforeach()
if(NOT ZVD_SANITIZE AND NOT ZVD_BUILD_FUZZ)
  # Undefined first, so that a compiler which predefines another level does not warn.
  set(_optimising "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options("$<${_optimising}:-U_FORTIFY_SOURCE>" "$<${_optimising}:-D_FORTIFY_SOURCE=2>")
endif()

check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_link_options(LINKER:-z,relro LINKER:-z,now)
