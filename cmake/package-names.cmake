# Read by cpack once for each package it makes: the installer is named
# Tandrel-<version>-setup.exe, the zip keeps the default name.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-setup")
endif()
