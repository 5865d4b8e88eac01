# The release, made by `cmake --build build --target package`:
# Tandrel-<version>-win32.zip and the installer Tandrel-<version>-setup.exe
# (NSIS, from the template NSIS.template.in beside this file). Both hold the
# program, its help file and a readme, all at the top, as the wizard belongs
# in the adapter's own folder beside OLVST.DLL.
install(TARGETS Tandrel RUNTIME DESTINATION .)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/olvst.chm DESTINATION .)
configure_file(${CMAKE_CURRENT_LIST_DIR}/readme.txt.in ${CMAKE_BINARY_DIR}/readme.txt
  @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/readme.txt DESTINATION .)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Tandrel)
set(CPACK_PACKAGE_VENDOR "Ostrel Music Software")
# The zip unpacks straight into the folder it is unpacked in.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# What the installer shows and the name of its entry among the installed
# programs; the default folder is below Program Files.
set(CPACK_NSIS_PACKAGE_NAME "Ostrel VST Adapter Wizard")
set(CPACK_NSIS_DISPLAY_NAME "Ostrel VST Adapter Wizard")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Ostrel Music Software\\Ostrel VST Adapter")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tandrel)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package-names.cmake)
include(CPack)
