# SPDX-License-Identifier: MIT
# What `make package` (CPack) builds from the install rules: on Linux the
# Debian packages, one per install component; on Windows one zip holding all
# of them. The version is the project's, as everywhere else.
set(DEZOV20_PACKAGE_MAINTAINER "DeZov20 developers <dezov20@example.org>" CACHE STRING
  "Maintainer named in the Debian packages (Name <address>)")

set(CPACK_PACKAGE_NAME dezov20)
set(CPACK_PACKAGE_VENDOR "DeZov20 developers")
set(CPACK_PACKAGE_CONTACT "${DEZOV20_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TARGET dezov)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()
if(TARGET dezov_python)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME DeZov20-${PROJECT_VERSION}-win64)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/README-Windows.txt DESTINATION .
    COMPONENT runtime)
  # The licences, in full: DeZov20's, the copyright file naming what is
  # compiled in (with CLI11's licence text), and those of Xerces-C and the
  # mingw-w64 runtime, which are linked into the DLL and the tool.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION licenses
    RENAME DeZov20-LICENSE.txt COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION licenses
    RENAME copyright.txt COMPONENT runtime)
  set(DEZOV20_XERCES_SOURCE_DIR "" CACHE PATH
    "Xerces-C source tree whose LICENSE and NOTICE the zip carries")
  if(DEZOV20_XERCES_SOURCE_DIR)
    install(FILES ${DEZOV20_XERCES_SOURCE_DIR}/LICENSE DESTINATION licenses
      RENAME xerces-c-LICENSE.txt COMPONENT runtime)
    install(FILES ${DEZOV20_XERCES_SOURCE_DIR}/NOTICE DESTINATION licenses
      RENAME xerces-c-NOTICE.txt COMPONENT runtime)
  elseif(EXISTS /usr/share/common-licenses/Apache-2.0)
    message(WARNING "DEZOV20_XERCES_SOURCE_DIR is not set: the zip carries the Apache "
                    "License 2.0 but not Xerces-C's NOTICE file")
    install(FILES /usr/share/common-licenses/Apache-2.0 DESTINATION licenses
      RENAME xerces-c-LICENSE.txt COMPONENT runtime)
  else()
    message(WARNING "DEZOV20_XERCES_SOURCE_DIR is not set: the zip lacks Xerces-C's licence")
  endif()
  if(EXISTS /usr/share/doc/mingw-w64-common/copyright)
    install(FILES /usr/share/doc/mingw-w64-common/copyright DESTINATION licenses
      RENAME mingw-w64-runtime.txt COMPONENT runtime)
  endif()
  include(CPack)
  return()
endif()

# The fleet agent's systemd units and its configuration, whichever of
# packaging/dezov-sync* exist, go with the tool: units where systemd reads
# them below the prefix; every other file into the configuration folder, /etc
# for the prefix /usr (the packages') and etc below any other. Which prefix
# that is, is known only when installing (CPack names the packages' in
# DEZOV20_PACKAGE_PREFIX).
set(dezov20_units)
set(dezov20_configs)
if(TARGET dezov)
  file(GLOB dezov20_sync_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/dezov-sync*)
  foreach(file ${dezov20_sync_files})
    if(file MATCHES "\\.(service|socket|timer|path)$")
      list(APPEND dezov20_units ${file})
    else()
      list(APPEND dezov20_configs ${file})
    endif()
  endforeach()
endif()
if(dezov20_units)
  install(FILES ${dezov20_units} DESTINATION lib/systemd/system COMPONENT tool)
endif()
set(DEZOV20_CONFIG_SUBDIR dezov)
if(dezov20_configs)
  install(CODE "
    if(DEFINED DEZOV20_PACKAGE_PREFIX)
      set(dezov20_prefix \"\${DEZOV20_PACKAGE_PREFIX}\")
    else()
      set(dezov20_prefix \"\${CMAKE_INSTALL_PREFIX}\")
    endif()
    if(dezov20_prefix MATCHES \"^/usr/*$\")
      set(DEZOV20_SYSCONF ../etc)
    else()
      set(DEZOV20_SYSCONF etc)
    endif()" COMPONENT tool)
  install(FILES ${dezov20_configs} DESTINATION "\${DEZOV20_SYSCONF}/${DEZOV20_CONFIG_SUBDIR}"
    COMPONENT tool)
endif()

if(CMAKE_VERSION VERSION_LESS 3.21)
  message(STATUS "CMake ${CMAKE_VERSION}: the Debian packages need CMake 3.21 or newer")
  return()
endif()
set(CPACK_GENERATOR DEB)
# The packages install below /usr; CPack stages that in a folder of its own,
# so the install rules that depend on the prefix (the Python package's and the
# configuration's folders) learn it from this variable (CMake 3.21 or newer).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_CUSTOM_INSTALL_VARIABLES DEZOV20_PACKAGE_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(DEZOV20_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE dezov20)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Dependencies on other packages come from the binaries (dpkg-shlibdeps);
# those between our own packages from the component dependencies, exact version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool's own library is found in the build folder; it adds no dependency there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR} ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
set(CPACK_COMPONENT_PYTHON_DEPENDS runtime)

# The library package is named after its soname, so that a later major
# version installs beside it; the tool therefore has a package of its own
# (two library packages cannot both ship /usr/bin/dezov).
set(dezov20_library_package libdezov20-${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${dezov20_library_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Its shlibs file names it for the programs built against it; its trigger
# refreshes the linker cache, so it needs no maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianDropLdconfigScripts.cmake)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "XML and INI configuration stores and a deployment domain resolver
DeZov20 is a configuration library: CXmlIni reads and writes XML
configuration files in GBK, CKdIni reads and writes INI files keeping every
comment and untouched line, and CKdDeploy answers which server domain serves
a request.
.
This package holds the shared library.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdezov20-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "XML and INI configuration stores (development files)
DeZov20 is a configuration library for XML and INI configuration files and
deployment descriptions.
.
This package holds the headers, the CMake package (find_package(DeZov20))
and the pkg-config file (DeZov20) to build programs against the library.")
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME dezov)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_DESCRIPTION
  "command-line tool for XML and INI configuration files
dezov reads and changes XML and INI configuration files in GBK, converting
names and values from and to the terminal's encoding, and asks the
deployment resolver of DeZov20 which domain serves a request.")
# The tool's configuration files are the administrator's (conffiles); its
# running units stop when it is removed, and systemd forgets them.
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA)
file(REMOVE_RECURSE ${PROJECT_BINARY_DIR}/packaging/tool)
if(dezov20_configs)
  set(conffiles)
  foreach(file ${dezov20_configs})
    get_filename_component(name ${file} NAME)
    string(APPEND conffiles "/etc/${DEZOV20_CONFIG_SUBDIR}/${name}\n")
  endforeach()
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/tool/conffiles "${conffiles}")
  list(APPEND CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/tool/conffiles)
endif()
if(dezov20_units)
  set(DEZOV20_UNIT_PATTERNS)
  foreach(file ${dezov20_units})
    get_filename_component(name ${file} NAME)
    string(REPLACE "@." "@*." name ${name})   # a template's instances
    string(APPEND DEZOV20_UNIT_PATTERNS " '${name}'")
  endforeach()
  foreach(script prerm postrm)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/dezov.${script}.in
      ${PROJECT_BINARY_DIR}/packaging/tool/${script} @ONLY)
    list(APPEND CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/tool/${script})
  endforeach()
endif()
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-dezov20)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# The extension is built for one interpreter version (its ABI tag), as
# dh_python3 would state it.
if(DEZOV20_PYTHON_VERSION)
  string(REPLACE "." ";" python_version_parts ${DEZOV20_PYTHON_VERSION})
  list(GET python_version_parts 0 python_major)
  list(GET python_version_parts 1 python_minor)
  math(EXPR python_next_minor "${python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${DEZOV20_PYTHON_VERSION}~), python3 (<< ${python_major}.${python_next_minor})")
endif()
# Python writes compiled files (__pycache__) beside the modules when a user
# allowed to write there imports them; they go before the package does.
configure_file(${PROJECT_SOURCE_DIR}/packaging/python3-dezov20.prerm.in
  ${PROJECT_BINARY_DIR}/packaging/python/prerm @ONLY)
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/python/prerm)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
  "XML and INI configuration stores for Python 3
The Python package dezov wraps DeZov20: IniFile reads and writes INI files
keeping every comment and untouched line, XmlFile reads and writes XML
configuration files in GBK, Deployment answers which server domain serves a
request, and Deployment.watch follows a deployment file as it changes. Text
crosses as str, converted from and to GBK.")

# Each package carries the copyright and the Debian changelog in its own
# documentation folder, and the lintian remarks that do not apply. These
# files belong to the packages only: a plain `cmake --install` leaves them
# out. The changelog's date is SOURCE_DATE_EPOCH's where that is set.
string(TIMESTAMP DEZOV20_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
  ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9nkf changelog.Debian
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging VERBATIM)
add_custom_target(dezov20_debian_changelog ALL
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
foreach(component ${CPACK_COMPONENTS_ALL})
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
    ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  # The remarks for every package, then a package's own (packaging/NAME.lintian-overrides).
  set(dezov20_package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  file(READ ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides overrides)
  set(own ${PROJECT_SOURCE_DIR}/packaging/${dezov20_package}.lintian-overrides)
  if(EXISTS ${own})
    file(READ ${own} own_overrides)
    string(APPEND overrides "${own_overrides}")
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/overrides/${dezov20_package} "${overrides}")
  install(FILES ${PROJECT_BINARY_DIR}/packaging/overrides/${dezov20_package}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
