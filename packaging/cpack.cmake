# SPDX-License-Identifier: GPL-3.0-or-later
# Installation of the command-line program, the demo sites, the daily-run files, the man pages,
# the shell completion, and the two
# Debian packages built from them (CPack DEB, one package per install component), included from
# the top CMakeLists:
#   cli     -> jilan-harvester-cli: the Qt-free program, the demo sites (jilan-market-sim), the
#              daily timer/service/cron line, its man page, the shell completion and the
#              example config.toml; the window-less half that runs on a server.
#   window  -> jilan-harvester: the window, its menu entry and icons (installed by src/ui) and its
#              man page; depends on jilan-harvester-cli of the same version.
include(GNUInstallDirs)

set(JILAN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${JILAN_PACKAGING_DIR}/man_page.cmake)

if(TARGET jilan-harvester-cli)
  install(TARGETS jilan-harvester-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()
# The demo sites, so that every example works on a fresh install before the program is pointed
# at the real ones: `jilan-market-sim --port 18080` serves the built-in default address.
if(TARGET market-sim)
  install(PROGRAMS $<TARGET_FILE:market-sim> DESTINATION ${CMAKE_INSTALL_BINDIR}
          RENAME jilan-market-sim COMPONENT cli)
endif()
jilan_man_page(jilan-harvester-cli cli)
jilan_man_page(jilan-harvester window)
# The demo sites' page is written by hand: their own --help is in English and for tests.
if(TARGET market-sim)
  set(JILAN_SIM_PAGE ${CMAKE_BINARY_DIR}/man/man1/jilan-market-sim.1.gz)
  add_custom_command(
    OUTPUT ${JILAN_SIM_PAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/man1
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${JILAN_PACKAGING_DIR}/jilan-market-sim.1
            ${JILAN_SIM_PAGE}
    DEPENDS ${JILAN_PACKAGING_DIR}/jilan-market-sim.1
    COMMENT "Man page of jilan-market-sim"
    VERBATIM)
  add_custom_target(jilan-market-sim_man_page DEPENDS ${JILAN_SIM_PAGE})
  add_dependencies(jilan_man_pages jilan-market-sim_man_page)
  install(FILES ${JILAN_SIM_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
endif()

# The timer, its service, the example settings and the cron line, for copying by hand.
install(FILES ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.timer
              ${JILAN_PACKAGING_DIR}/jilan-harvester-remind.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-remind.timer
              ${JILAN_PACKAGING_DIR}/daily.env
              ${JILAN_PACKAGING_DIR}/jilan-harvester.cron
        DESTINATION ${CMAKE_INSTALL_DATADIR}/jilan-harvester COMPONENT cli)
# Shell completion written from the option table at build time (src/cli), for both programs;
# bash-completion loads a file by the command's name.
if(TARGET jilan_completion)
  install(FILES ${JILAN_BASH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT cli)
  install(FILES ${JILAN_BASH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME jilan-harvester COMPONENT cli)
  install(FILES ${JILAN_ZSH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT cli)
endif()
# The commented example of the settings file (config.toml: where the four sites are).
install(FILES ${JILAN_PACKAGING_DIR}/config.toml.example
        DESTINATION ${CMAKE_INSTALL_DATADIR}/jilan-harvester COMPONENT cli)
# The same units where the user's systemd finds them (<prefix>/lib/systemd/user is searched for
# /usr and /usr/local), so `systemctl --user enable --now jilan-harvester-daily.timer` works as
# soon as the package is installed. Not CMAKE_INSTALL_LIBDIR: that may carry a multiarch folder.
install(FILES ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.timer
              ${JILAN_PACKAGING_DIR}/jilan-harvester-remind.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-remind.timer
        DESTINATION lib/systemd/user COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${JILAN_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/jilan-harvester-cli COMPONENT cli)
if(TARGET jilan-harvester)
  install(FILES ${JILAN_PACKAGING_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/jilan-harvester COMPONENT window)
endif()

# cpack (and make install) install what scripts/package built, instead of first building every
# target of the tree, the whole test suite included.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(TARGET jilan-harvester)
  list(APPEND CPACK_COMPONENTS_ALL window)
endif()
set(CPACK_PACKAGE_NAME jilan-harvester)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "霁岚系列软件")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(JILAN_PACKAGE_MAINTAINER "霁岚系列软件 <packaging@jilan-harvester.invalid>"
    CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT "${JILAN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${JILAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# libcurl, SQLite, libxlsxwriter (and Qt 6 for the window) come from dpkg-shlibdeps over each
# package's own binary, so the command-line package names no Qt library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME jilan-harvester-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION net)
# Up to 1.3.0 one package, jilan-harvester, shipped the program and the daily-run files; these
# files now belong to jilan-harvester-cli at the same paths (users have enabled the timer), so
# the older package must make way for them.
set(JILAN_SPLIT_VERSION 1.4.0)
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "jilan-harvester (<< ${JILAN_SPLIT_VERSION})")
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "jilan-harvester (<< ${JILAN_SPLIT_VERSION})")
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "systemd | cron")
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "霁岚域名回收采集器（命令行）- deleted domain harvester, command line
无窗口地按页采集域名交易平台上已删除、可预定的域名，查询域名的删除类型、
删除时间、预定截止、预定价格和 ICP 备案，记住采集过的域名，按长度、后缀、
类别、拼音、数字规律等条件筛选或搜索历史，导出为文本、CSV 或 Excel 工作簿。
附带每日自动采集的 systemd 用户定时器和 cron 行（/usr/share/jilan-harvester）、
演示用的交易平台与备案站点 jilan-market-sim，以及 bash 与 zsh 的补全。
不需要图形界面；窗口程序在 jilan-harvester 包中。

Harvests the names of deleted domains open for backorder from a domain
marketplace's paged listing without a window, looks up a domain's deletion
type and times, backorder prices and Chinese ICP filing, keeps a history of
every name seen, filters names by length, suffix, class, pinyin and number
patterns, and exports text, CSV or Excel workbooks. Ships a systemd user
timer and a cron line for a daily harvest of the new names
(/usr/share/jilan-harvester), the demo sites jilan-market-sim to try every
feature on, and bash and zsh completion. Needs no display; the window is in
the jilan-harvester package.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME jilan-harvester)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION net)
# Added to what dpkg-shlibdeps finds. The window ships no translation of its own: it loads Qt's
# qtbase_zh_CN (Chinese texts of Qt's standard dialogs and buttons) from Qt's folder. Qt Charts
# draws the 统计 tab of 域名筛选.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "jilan-harvester-cli (= ${CPACK_PACKAGE_VERSION}), qt6-translations-l10n, libqt6charts6")
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "霁岚域名回收采集器 - deleted domain harvester for domain investors
桌面窗口程序：按页采集域名交易平台上已删除、可预定的域名，查询单个域名的
删除类型、删除时间、预定截止、whois、预定价格和 ICP 备案，在“域名筛选”窗口中
按长度、后缀、类别、拼音、数字规律等条件筛选、批量查询，导出为文本、CSV 或
Excel 工作簿。命令行程序和每日采集在 jilan-harvester-cli 包中。

The desktop window: harvests the names of deleted domains open for
backorder from a domain marketplace's paged listing, looks up a domain's
deletion type and times, whois, backorder prices and Chinese ICP filing,
and filters, batch-queries and exports the names in a second window. The
command-line program and the daily harvest are in jilan-harvester-cli.")

include(CPack)
