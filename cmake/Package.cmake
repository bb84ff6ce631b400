# Where everything goes when installed, and the Debian package made from that
# (scripts/package runs cpack). Included at the end of the top-level file, once
# every target exists.
#
#   bin/                              tessary-create-animation, tessary-anim, tessary-link
#   libexec/tessary/init-settings     writes a user's default settings store
#   share/tessary/default_settings.tsv
#   share/tessary/movies/<folder>/    common and the twelve language folders
#   share/applications/, share/icons/hicolor/, share/man/man1/, share/doc/tessary/ (copyright, changelog)
#
# The program finds the movies, init-settings and the table relative to its own
# folder, so an installed tree works wherever it is unpacked.
include(GNUInstallDirs)

set(TESSARY_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tessary)
set(TESSARY_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tessary)
set(TESSARY_MOVIE_FOLDERS common EN FR DE SP IT PT NL PL CZ RU CHS CHT)

if(TARGET app)
  # The same layout, seen from the program's folder.
  file(RELATIVE_PATH movies_from_program ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${TESSARY_DATA_DIR}/movies)
  file(RELATIVE_PATH init_from_program ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${TESSARY_LIBEXEC_DIR}/init-settings)
  file(RELATIVE_PATH table_from_program ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${TESSARY_DATA_DIR}/default_settings.tsv)
  target_compile_definitions(app PRIVATE
    TESSARY_MOVIES_FROM_PROGRAM="${movies_from_program}/"
    TESSARY_INIT_SETTINGS_FROM_PROGRAM="${init_from_program}"
    TESSARY_SETTINGS_TABLE_FROM_PROGRAM="${table_from_program}")
endif()

foreach(program tessary-create-animation tessary-anim tessary-link)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(PROGRAMS scripts/init-settings DESTINATION ${TESSARY_LIBEXEC_DIR})
install(FILES resources/default_settings.tsv DESTINATION ${TESSARY_DATA_DIR})

if(NOT TARGET tessary-create-animation)
  return()
endif()

foreach(folder ${TESSARY_MOVIE_FOLDERS})
  install(DIRECTORY movies/${folder} DESTINATION ${TESSARY_DATA_DIR}/movies)
endforeach()

# Made by the build: the icon in every hicolor size, both manual pages (the batch
# tool's from its own --help) and the changelog, compressed as Debian wants them.
find_program(TESSARY_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(TESSARY_GZIP gzip REQUIRED)
set(made ${PROJECT_BINARY_DIR}/packaging)
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icons "")
foreach(size ${icon_sizes})
  list(APPEND icons ${made}/icons/hicolor/${size}x${size}/apps/tessary-create-animation.png)
endforeach()
add_custom_command(OUTPUT ${icons}
  COMMAND ${TESSARY_PYTHON} ${PROJECT_SOURCE_DIR}/packaging/make_icons.py
          ${PROJECT_SOURCE_DIR}/resources/app_icon.png ${made}/icons tessary-create-animation
  DEPENDS packaging/make_icons.py resources/app_icon.png
  COMMENT "Scaling the application icon to the hicolor sizes")

string(TIMESTAMP man_date "%B %Y" UTC)
add_custom_command(OUTPUT ${made}/tessary-anim.1.gz
  COMMAND ${TESSARY_PYTHON} ${PROJECT_SOURCE_DIR}/packaging/make_man.py $<TARGET_FILE:tessary-anim>
          ${PROJECT_VERSION} "${man_date}" ${made}/tessary-anim.1
  COMMAND ${TESSARY_GZIP} -9nf ${made}/tessary-anim.1
  DEPENDS tessary-anim packaging/make_man.py
  COMMENT "Writing the manual page of tessary-anim from its --help")
foreach(page tessary-create-animation.1 tessary-link.1 changelog)
  add_custom_command(OUTPUT ${made}/${page}.gz
    COMMAND ${TESSARY_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/${page} > ${made}/${page}.gz
    DEPENDS packaging/${page}
    COMMENT "Compressing ${page}")
endforeach()
add_custom_target(package_files ALL
  DEPENDS ${icons} ${made}/tessary-anim.1.gz ${made}/tessary-create-animation.1.gz ${made}/tessary-link.1.gz
          ${made}/changelog.gz)

install(FILES packaging/tessary-create-animation.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${made}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${made}/tessary-anim.1.gz ${made}/tessary-create-animation.1.gz ${made}/tessary-link.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${made}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessary)

# The Debian package: tessary_<version>_<arch>.deb. Shared libraries become
# dependencies through dpkg-shlibdeps; the QML modules the movies import, the
# fonts they name and the interpreter of init-settings are named here.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT deb_arch)
  set(deb_arch amd64)
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Tessary developers <developers@tessary.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wizard that turns pictures into animations for Tessary phones")
# The extended description; cpack puts the summary above it.
set(CPACK_PACKAGE_DESCRIPTION "The Create Animation wizard of the Tessary phone suite turns a picture (BMP,
GIF or animated GIF, JPEG, PNG) into a short looping animated GIF for the
phone's square screen: the user fits, turns and lightens the picture, edits
the animation frame by frame, checks it against the phone's size limit, saves
a copy and sends it to the phone. Its texts come in twelve languages.
.
The batch tool tessary-anim does the same job from the command line and
converts pictures with the wizard's own picture library.")
set(CPACK_DEBIAN_FILE_NAME "tessary_${PROJECT_VERSION}_${deb_arch}.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_arch})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3, qml6-module-qtquick, qml6-module-qtquick-shapes, fonts-noto-core, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
