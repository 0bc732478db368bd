# The Debian package: cpack -G DEB in a build directory (scripts/package does
# it and checks the result). Its dependencies are those of the libraries the
# program links, found by dpkg-shlibdeps.

set(VEMBA_MAINTAINER "VembaPC developers <vemba-pc@example.org>")

# What Debian wants beside every package: the copyright and the changelog,
# compressed the way lintian expects (no time stamp, best compression).
set(_doc_dir ${CMAKE_BINARY_DIR}/package-doc)
set(_changelog ${_doc_dir}/changelog.Debian.gz)
add_custom_command(OUTPUT ${_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_doc_dir}
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${_changelog}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
add_custom_target(vemba_package_doc ALL DEPENDS ${_changelog})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${_changelog}
    DESTINATION share/doc/vemba-pc)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
    DESTINATION share/lintian/overrides RENAME vemba-pc)

set(CPACK_PACKAGE_NAME vemba-pc)
set(CPACK_PACKAGE_VENDOR "VembaPC developers")
set(CPACK_PACKAGE_CONTACT "${VEMBA_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps mosquitoes away with sound")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vemba-pc)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_NAME vemba-pc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEMBA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the linked libraries: Qt's window system plugins, and a Japanese
# font, since every word of the window is Japanese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-japanese-gothic")
# Sound reaches the speakers through a sound server; SDL opens whichever runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio")
# The synopsis is the summary above; cpack indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "VembaPC loops short tones through the computer's speakers on three
channels: the wing beat of the dragonfly, the mosquito's natural enemy;
the wing beat of male mosquitoes, which egg-bearing females avoid; and
the wing beat of female mosquitoes, which draws the males.
.
For each channel one of three tones, the three together or a sweep across
the band; a sine or triangle wave; one volume; an ON/OFF switch. Every
choice is kept per user for the next start. The program speaks Japanese.")
set(CPACK_GENERATOR DEB)

include(CPack)
