# SPDX-FileCopyrightText: 2026 The Tolvane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Run by CPack after it built the packages. CPack gives a package holding a shared library a
# postinst and a postrm that only call ldconfig; the package's ldconfig trigger does that already,
# and a postrm would keep the removed package listed by dpkg until it is purged. Rebuilt without
# them, "apt remove tolvane" leaves nothing behind.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  set(changed FALSE)
  foreach(script postinst postrm)
    if(EXISTS ${tree}/DEBIAN/${script})
      file(READ ${tree}/DEBIAN/${script} body)
      string(REGEX REPLACE "#[^\n]*\n|set -e\n|ldconfig\n|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then\n|fi\n|[ \t\n]" "" rest "${body}")
      if(rest STREQUAL "")
        file(REMOVE ${tree}/DEBIAN/${script})
        set(changed TRUE)
      endif()
    endif()
  endforeach()
  if(changed)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
