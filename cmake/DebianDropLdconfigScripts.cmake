# SPDX-License-Identifier: MIT
# Runs after CPack made the Debian packages. CPack gives every package holding
# a shared library postinst and postrm scripts that only call ldconfig; the
# library package's ldconfig trigger does that job, and Debian wants no such
# scripts. A package holding the trigger is rebuilt without them.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  set(tree ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/without-ldconfig-scripts/${name})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/without-ldconfig-scripts)
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS ${tree}/DEBIAN/triggers)
    set(changed FALSE)
    foreach(script postinst postrm)
      if(EXISTS ${tree}/DEBIAN/${script})
        file(READ ${tree}/DEBIAN/${script} text)
        # Only the generated form: a script doing anything else stays.
        if(text MATCHES "^#!/bin/sh\n\nset -e\n\nif \\[ \"\\$1\" = \"[a-z]+\" \\]; then\n\tldconfig\nfi\n$")
          file(REMOVE ${tree}/DEBIAN/${script})
          set(changed TRUE)
        endif()
      endif()
    endforeach()
    if(changed)
      execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b ${tree} ${deb}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
