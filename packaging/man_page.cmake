# SPDX-License-Identifier: GPL-3.0-or-later
# Man pages made at build time by help2man from each program's own --help, so a page lists
# exactly the options and exit codes of the program it ships with. Without help2man the pages
# are left out with a warning (scripts/lib/common.sh installs it).
include(GNUInstallDirs)
find_program(JILAN_HELP2MAN help2man)
add_custom_target(jilan_man_pages ALL)

# jilan_man_page(<program target> <install component>): section 1, its NAME line and the extra
# sections from packaging/<program>.h2m (read as bytes: help2man garbles a non-ASCII --name).
function(jilan_man_page program component)
  if(NOT TARGET ${program})
    return()
  endif()
  if(NOT JILAN_HELP2MAN)
    message(WARNING "help2man not found: no man page for ${program}")
    add_custom_target(${program}_man_page)
    return()
  endif()
  # <build>/man is a man path (MANPATH) of its own: `man -M <build>/man <program>` finds the page.
  set(page ${CMAKE_BINARY_DIR}/man/man1/${program}.1)
  set(extra ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${program}.h2m)
  # The help is UTF-8 Chinese: help2man must read it in a UTF-8 locale (-L). The program is run
  # by name through PATH, as a user would, so its usage line shows the name, not the build path.
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/man1
    COMMAND ${CMAKE_COMMAND} -E env LANG=C.UTF-8 LC_ALL=C.UTF-8 --unset=DISPLAY
            --unset=WAYLAND_DISPLAY "PATH=$<TARGET_FILE_DIR:${program}>:/usr/bin:/bin"
            ${JILAN_HELP2MAN} --no-info --locale=C.UTF-8 --section=1
            --version-string=${PROJECT_VERSION} --include=${extra} --output=${page} ${program}
    COMMAND gzip -9nf ${page}
    DEPENDS ${program} ${extra}
    COMMENT "Man page of ${program} from its --help"
    VERBATIM)
  add_custom_target(${program}_man_page DEPENDS ${page}.gz)
  add_dependencies(jilan_man_pages ${program}_man_page)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
