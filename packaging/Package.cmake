# `make package`: a Debian package of the install rules in packaging/CMakeLists.txt.
# Its library dependencies come from dpkg-shlibdeps; only what no binary links is
# named here: a CJK font, without which the Chinese interface shows empty boxes.
set(BYTEWAY_MAINTAINER "The Byteway developers <byteway@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME byteway)
set(CPACK_PACKAGE_VENDOR "The Byteway developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${BYTEWAY_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/byteway/byteway)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial-port test tool with a graphical interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Byteway holds one serial port open with the line settings you choose (port\n"
    "number, baud rate, data bits, parity, stop bits), sends bytes typed in\n"
    "hexadecimal, decimal or as characters, or a range of byte values, once or on\n"
    "a timer, and shows every byte that comes back in rich-text document windows.\n"
    "Received paragraphs can be checked against a test device's counting pattern.\n"
    "The traffic can be recorded to a file with microsecond times and directions,\n"
    "headers can carry the time of day, and a port whose device went away is\n"
    "opened again when it returns. Every command has a keyboard shortcut.\n"
    "\n"
    "The user interface is in English or Chinese. The package also holds
"
    "byteway-device, a demo device on a pseudo-terminal for trying the program
"
    "without hardware, byteway-linetest, a line test with a pattern for scripts,\n"
    "and byteway-sequence, which runs a scripted test and says whether it passed.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BYTEWAY_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-noto-cjk)
# Qt's own buttons and dialogs in Chinese; without it they show Qt's English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
