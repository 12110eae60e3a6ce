# What `cmake --install` puts where, and the Debian package made from it (cpack -G DEB, see
# scripts/package). The programs find the data set in share/torvanta from bin/ (src/core/paths).
include(GNUInstallDirs)

set(ZRD_APP_ID com.qxtorvanta.Torvanta)
set(ZRD_ICON_SIZES 16 24 32 48 64 128 256)

# Manual pages and the bash completion are printed by the programs from their help texts.
set(ZRD_GENERATED ${CMAKE_BINARY_DIR}/generated)
set(ZRD_GENERATED_FILES)
function(zrd_program_output target option output)
  add_custom_command(OUTPUT ${ZRD_GENERATED}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZRD_GENERATED}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DOPTION=${option}
            -DOUTPUT=${ZRD_GENERATED}/${output} -P ${CMAKE_SOURCE_DIR}/cmake/ProgramOutput.cmake
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/cmake/ProgramOutput.cmake
    VERBATIM)
  set(ZRD_GENERATED_FILES ${ZRD_GENERATED_FILES} ${ZRD_GENERATED}/${output} PARENT_SCOPE)
endfunction()
set(ZRD_PROGRAMS zrdctl zrd-sim)
if(ZRD_BUILD_GUI)
  list(PREPEND ZRD_PROGRAMS torvanta)
endif()
foreach(program ${ZRD_PROGRAMS})
  zrd_program_output(${program} --man-page ${program}.1.gz)
endforeach()
zrd_program_output(zrdctl --bash-completion zrdctl.bash)
add_custom_target(zrd_generated_docs ALL DEPENDS ${ZRD_GENERATED_FILES})

install(TARGETS ${ZRD_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ZRD_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/torvanta)
foreach(program ${ZRD_PROGRAMS})
  install(FILES ${ZRD_GENERATED}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${ZRD_GENERATED}/zrdctl.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zrdctl)
install(FILES docs/user-guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(ZRD_BUILD_GUI)
  install(FILES data/desktop/${ZRD_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/desktop/${ZRD_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES data/icons/torvanta.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${ZRD_APP_ID}.svg)
  foreach(size ${ZRD_ICON_SIZES})
    install(FILES data/icons/torvanta-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${ZRD_APP_ID}.png)
  endforeach()
endif()

# The Debian package: torvanta_<version>_<arch>.deb. dpkg-shlibdeps names the libraries' packages
# (libqt6widgets6, libstdc++6, ...) with the versions this build needs.
set(CPACK_PACKAGE_NAME torvanta)
set(CPACK_PACKAGE_VENDOR "QX Torvanta engineering")
set(CPACK_PACKAGE_CONTACT "QX Torvanta engineering <service@qxtorvanta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and tuning tool for ZRD servo drives")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "QX Torvanta reads and writes the parameters of ZRD servo drives on a serial line, stores\n"
  "them in the drive's EEPROM or in files, and shows the drive's status and process values.\n"
  "The package holds the program torvanta, the command-line tool zrdctl, the simulated\n"
  "drive zrd-sim and the Python module zrd.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module's interpreter and numpy, which dpkg-shlibdeps cannot see (python/).
if(ZRD_PACKAGE_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS ${ZRD_PACKAGE_DEPENDS})
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udev")
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_THREADS 2)
include(CPack)
