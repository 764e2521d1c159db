# Debian package of the calculator: `cpack -G DEB` in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/check-deb builds, installs and removes it).
# The package holds what the install rules install: the program, its two pictures in
# ZVD_IMAGE_DIR, the desktop entry, the metainfo and the icon.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorivivudidider)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Zephra Corporation")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop date calculator: the date a number of days after or before a date")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Desktop date calculator: the date a number of days after or before a date\n\
A small window with a start date (year, month, day), a calendar and two rows that\n\
add or subtract a number of days, for dates from 1970-01-01 to 2038-01-19.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZoriviVudiDider developers <zorivivudidider@zephra.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zephra.example/")
# The shared libraries the program links decide the dependencies, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The about box's company name and address are Japanese: without a CJK font they show as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-ipaexfont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The package installs where this build's install rules point, so the program finds its
# pictures in the ZVD_IMAGE_DIR it was built with.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Debian package: the install prefix is ${CMAKE_INSTALL_PREFIX}; "
                 "configure with -DCMAKE_INSTALL_PREFIX=/usr for a package that installs under /usr")
endif()
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/packages")

include(CPack)
