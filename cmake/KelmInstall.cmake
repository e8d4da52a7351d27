# The installed layout (cmake --install <tree> --prefix P) and its Debian
# package (cpack -G DEB):
#   P/bin                    the programs and the tools they call
#   P/<libdir>/kelm          the suite's libraries and uninstall's window module
#   P/share/kelm/kits/demo   the demo kits (server, client/) and their Start.ini
#   P/share/applications, P/share/icons   menu entries and icons
# Nothing installed names the build tree: the programs find their libraries
# through $ORIGIN, their tools beside themselves and their kits through the
# paths written below for the prefix installed to.

set(kelm_programs tarnwick dorvik setup uninstall start sqlmaint dorvik-pack)
set(kelm_libraries platform-winapi platform-odbcbase platform-afx platform-ado platform-dmo platform-diagram
    quillmark orvoodbc tarnwick-charts uninstall-ui)

# A library finds the others beside itself, in either tree.
set_target_properties(${kelm_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")

# setup copies the uninstaller into each application's folder, far from the
# libraries, so the uninstaller also carries the absolute folder they are
# installed in. The install step writes it in place of the build tree's
# folder; the trailing slashes (ignored by the loader) leave room for a
# longer prefix.
string(REPEAT "/" 200 kelm_rpath_room)
set_property(TARGET uninstall APPEND PROPERTY INSTALL_RPATH "${CMAKE_BINARY_DIR}/lib${kelm_rpath_room}")

install(TARGETS ${kelm_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${kelm_libraries} LIBRARY DESTINATION ${KELM_INSTALL_LIBDIR})

# The staged demo kit; its Start.ini is written for the prefix below.
install(DIRECTORY ${KELM_DEMO_KIT}/ DESTINATION ${KELM_INSTALL_KITDIR} USE_SOURCE_PERMISSIONS
        PATTERN Start.ini EXCLUDE)

install(FILES ${CMAKE_SOURCE_DIR}/resources/tarnwick/icons/about251.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME kelm-tarnwick.svg)
install(FILES ${CMAKE_SOURCE_DIR}/resources/start/start.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME kelm-start.svg)
install(FILES ${CMAKE_SOURCE_DIR}/resources/dorvik/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME kelm-dorvik.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/package/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelm)
configure_file(${CMAKE_SOURCE_DIR}/resources/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)

# Files that name the prefix are written when installing, for the prefix
# installed to (not the DESTDIR staging folder in front of it).
install(CODE "
    set(kelm_templates [[${CMAKE_SOURCE_DIR}]])
    set(kelm_bindir [[${CMAKE_INSTALL_BINDIR}]])
    set(kelm_libdir [[${KELM_INSTALL_LIBDIR}]])
    set(kelm_kitdir [[${KELM_INSTALL_KITDIR}]])
    set(kelm_appsdir [[${CMAKE_INSTALL_DATADIR}/applications]])
    set(kelm_docdir [[${CMAKE_INSTALL_DATADIR}/doc/kelm]])
    set(kelm_changelog [[${CMAKE_BINARY_DIR}/package/changelog]])
    set(kelm_origin_rpath [[$ORIGIN/${KELM_BIN_TO_LIB}]])
")
install(CODE [[
    get_filename_component(kelm_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
    set(kelm_stage "$ENV{DESTDIR}${kelm_prefix}")

    file(RPATH_SET FILE "${kelm_stage}/${kelm_bindir}/uninstall"
         NEW_RPATH "${kelm_origin_rpath}:${kelm_prefix}/${kelm_libdir}")

    # Start.ini's parameter texts split at blanks; its command texts do not.
    set(KELM_BIN_DIR "${kelm_prefix}/${kelm_bindir}")
    string(REPLACE " " "\\ " KELM_KIT_DIR "${kelm_prefix}/${kelm_kitdir}")
    configure_file("${kelm_templates}/kits/demo/Start.ini.in" "${kelm_stage}/${kelm_kitdir}/Start.ini" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kelm_stage}/${kelm_kitdir}/Start.ini")

    # A desktop entry's Exec line takes its arguments in double quotes, where
    # '"', '`', '$' and '\' are escaped (and the escape itself once more, as
    # in every value), and '%' is doubled.
    set(KELM_EXEC_DIR "${kelm_prefix}/${kelm_bindir}")
    set(KELM_EXEC_KIT "${kelm_prefix}/${kelm_kitdir}")
    foreach(text KELM_EXEC_DIR KELM_EXEC_KIT)
        string(REPLACE "\\" "\\\\\\\\" ${text} "${${text}}")
        foreach(c "\"" "`" "$")
            string(REPLACE "${c}" "\\\\${c}" ${text} "${${text}}")
        endforeach()
        string(REPLACE "%" "%%" ${text} "${${text}}")
    endforeach()
    foreach(program tarnwick dorvik start)
        configure_file("${kelm_templates}/resources/${program}/${program}.desktop.in"
                       "${kelm_stage}/${kelm_appsdir}/kelm.${program}.desktop" @ONLY)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kelm_stage}/${kelm_appsdir}/kelm.${program}.desktop")
    endforeach()

    # Compressed as Debian keeps it: no name or time in the header.
    execute_process(COMMAND gzip -9nc "${kelm_changelog}" OUTPUT_FILE "${kelm_stage}/${kelm_docdir}/changelog.gz"
                    RESULT_VARIABLE kelm_gzip)
    if(NOT kelm_gzip EQUAL 0)
        message(FATAL_ERROR "gzip failed on ${kelm_changelog}")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kelm_stage}/${kelm_docdir}/changelog.gz")
]])

set(CPACK_PACKAGE_NAME kelm)
set(CPACK_PACKAGE_VENDOR "Varnholt Inc")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workflow chart editor and database installer of the Kelm suite")
set(CPACK_PACKAGE_DESCRIPTION "\
Tarnwick edits the document workflow charts stored in a Kelm database
(PostgreSQL or SQLite, through ODBC). Dorvik installs and upgrades a Kelm
database on a PostgreSQL server from an installation kit; setup and
uninstall install a client program on a workstation; start is a kit's
launcher window. The demo kits are in /usr/share/kelm/kits/demo.")
set(CPACK_PACKAGE_CONTACT "Varnholt Inc <kelm@varnholt.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
# Started as programs or loaded by name, so dpkg-shlibdeps cannot see them:
# the PostgreSQL client tools (dumps, backups), the ODBC drivers, xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "postgresql-client-15, odbc-postgresql, xdg-utils")
# wx's own words in the windows' Russian (GTK's come with GTK).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, pgagent, wx3.2-i18n")
set(CPACK_STRIP_FILES ON)
include(CPack)
