# SPDX-License-Identifier: MIT
# Debian package of the calculator: `cpack -G DEB` in any build (scripts/check-deb builds
# it twice from two clones, lints it, installs it, runs it and removes it). The package
# holds what the install rules install: the program, its two pictures, its translations, the
# desktop entry, the metainfo, the icon, the manual page, and the copyright file and changelog
# a Debian package carries in its doc folder.

# The manual page and the changelog are installed compressed, with no name or time stamp
# in the gzip header so that the package's bytes do not depend on when it was built.
set(_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(_man_page "${PROJECT_BINARY_DIR}/zorivivudidider.1.gz")
set(_changelog "${PROJECT_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT "${_man_page}"
  COMMAND gzip -9n -c "${PROJECT_SOURCE_DIR}/data/zorivivudidider.1" > "${_man_page}"
  DEPENDS "${PROJECT_SOURCE_DIR}/data/zorivivudidider.1" VERBATIM)
add_custom_command(OUTPUT "${_changelog}"
  COMMAND gzip -9n -c "${_packaging}/changelog" > "${_changelog}"
  DEPENDS "${_packaging}/changelog" VERBATIM)
add_custom_target(zvd_package_docs ALL DEPENDS "${_man_page}" "${_changelog}")
install(FILES "${_man_page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${_packaging}/copyright" "${_changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog's newest entry names the version being packaged.
file(STRINGS "${_packaging}/changelog" _newest LIMIT_COUNT 1)
if(NOT _newest MATCHES "^zorivivudidider \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with \"${_newest}\", "
                      "not an entry for version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorivivudidider)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Zephra Corporation")
# The synopsis is the Description's first line; the text below it must not repeat it,
# and no line may pass 80 columns.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "date calculator: the date a number of days after or before a date")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A small desktop window with a start date (year, month, day), a calendar and\n\
two rows that add or subtract a number of days, written in decimal,\n\
hexadecimal or binary. It covers the dates from 1970-01-01 to 2038-01-19.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZoriviVudiDider developers <zorivivudidider@zephra.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zephra.example/")
# The shared libraries the program links decide the dependencies, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The about box's company name and address are Japanese, and so is the whole window under a
# Japanese locale: without a CJK font they show as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-ipaexfont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# A package always installs under /usr, whatever prefix this build installs into: the
# install rules are relative to the prefix, and the installed program finds its pictures
# relative to its own directory (app/CMakeLists.txt).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/packages")

# Without SOURCE_DATE_EPOCH from the builder, the package's time stamps come from the last
# commit (or, outside a git checkout, from the changelog's newest entry), so that two
# builds of one commit give the same bytes. Read when cpack runs, not when configuring.
configure_file("${PROJECT_SOURCE_DIR}/cmake/PackageTime.cmake.in"
               "${PROJECT_BINARY_DIR}/PackageTime.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/PackageTime.cmake")

include(CPack)
