# What `cmake --install` puts under the prefix, and the .deb and .tar.gz CPack makes of it:
#   bin/setuppack, bin/setupsim
#   share/quorvane-setup/stubs/setup-stub-win32.exe, setup-stub-win64.exe
#   share/doc/quorvane-setup/manifest.md, share/man/man1/setuppack.1, setupsim.1
#   share/doc/quorvane-setup/packaging.md
# The native build cannot compile the stubs; they come from the win32 and win64 presets'
# build folders (QV_STUB_WIN32/QV_STUB_WIN64). scripts/package builds all three presets first
# and refuses to package without both stubs; a plain `cmake --install` leaves out a stub that
# has not been built.
set(QV_STUB_WIN32 ${PROJECT_SOURCE_DIR}/build/win32/setup-stub.exe
    CACHE FILEPATH "The PE32 stub to install (built by the win32 preset)")
set(QV_STUB_WIN64 ${PROJECT_SOURCE_DIR}/build/win64/setup-stub.exe
    CACHE FILEPATH "The x86_64 stub to install (built by the win64 preset)")
# Installing needs only the two tools, not the tests: scripts/package builds just those targets.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QV_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvane-setup)

install(TARGETS setuppack setupsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QV_STUB_WIN32} DESTINATION ${QV_SHARE_DIR}/stubs RENAME setup-stub-win32.exe
        OPTIONAL)
install(FILES ${QV_STUB_WIN64} DESTINATION ${QV_SHARE_DIR}/stubs RENAME setup-stub-win64.exe
        OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manifest.md DESTINATION ${QV_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/packaging.md DESTINATION ${QV_DOC_DIR})
# setupsim's machine and answers files, every key.
install(FILES ${PROJECT_SOURCE_DIR}/docs/machine-files.md DESTINATION ${QV_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/setuppack.1 ${PROJECT_SOURCE_DIR}/docs/setupsim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME quorvane-setup-tools)
set(CPACK_PACKAGE_VENDOR "Varnook Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Builds, checks and previews Quorvane installers (setuppack, setupsim, setup stubs)")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvane installer team <setup@varnook.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Diskette images are written and read with mtools.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS mtools)
# setuppack sign and build --sign run osslsigncode.
set(CPACK_DEBIAN_PACKAGE_DEPENDS osslsigncode)
include(CPack)
