# The Debian package: cpack -G DEB in a Release build (./package.sh does it).
# Besides what src/gui installs, the package carries the copyright file and
# the changelog in share/doc/slideshow-exporter, as Debian wants them.
include(GNUInstallDirs)

set(SLIDESHOW_PACKAGE_MAINTAINER
  "Slideshow Exporter maintainers <maintainers@slideshow-exporter.example>"
  CACHE STRING "The Debian package's Maintainer field")

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/slideshow-exporter)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${doc_dir})

# The changelog goes in compressed with gzip -9n (no name, no time stamp), so
# the same source gives the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${GZIP_EXECUTABLE} -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME slideshow-exporter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Slideshow Exporter authors")
set(CPACK_PACKAGE_CONTACT ${SLIDESHOW_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "turn a photo album into a slideshow video, MLT project or JSON document")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Directories made for the package are rwxr-xr-x whatever the umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_NAME slideshow-exporter)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SLIDESHOW_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from the program's links; melt renders the videos.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "melt")
# The long description, under the summary that CPack puts first; CPack
# indents every line by one space, "." stands for an empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Slideshow Exporter reads the album file of an iPhoto photo library and
exports one album as a slideshow: an indented JSON document with the
sequence settings in frames and one entry per photo, ready for a video
compositing tool; an MLT project that melt plays; or the slideshow itself
as an MP4 or WebM video, rendered by melt.
.
A small window lets you pick the album, the frame rate, the transition,
the clip and transition durations, the composition size and a title. The
same export runs from the command line without a display.")

include(CPack)
