# Installation of the daily-run files and the Debian package (CPack DEB), included from the top
# CMakeLists. The program, its desktop entry and its icons are installed by src/ui.
include(GNUInstallDirs)

set(JILAN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

# The timer, its service, the example settings and the cron line, for copying by hand.
install(FILES ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.timer
              ${JILAN_PACKAGING_DIR}/daily.env
              ${JILAN_PACKAGING_DIR}/jilan-harvester.cron
        DESTINATION ${CMAKE_INSTALL_DATADIR}/jilan-harvester)
# The same units where the user's systemd finds them (<prefix>/lib/systemd/user is searched for
# /usr and /usr/local), so `systemctl --user enable --now jilan-harvester-daily.timer` works as
# soon as the package is installed. Not CMAKE_INSTALL_LIBDIR: that may carry a multiarch folder.
install(FILES ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.service
              ${JILAN_PACKAGING_DIR}/jilan-harvester-daily.timer
        DESTINATION lib/systemd/user)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/jilan-harvester)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME jilan-harvester)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "霁岚系列软件")
set(JILAN_PACKAGE_MAINTAINER "霁岚系列软件 <packaging@jilan-harvester.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${JILAN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${JILAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt 6, libcurl, SQLite and libxlsxwriter come from dpkg-shlibdeps over the installed binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds. The program ships no translation of its own: it loads
# Qt's qtbase_zh_CN (Chinese texts of Qt's standard dialogs and buttons) from Qt's folder.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "systemd | cron")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "霁岚域名回收采集器 - deleted domain harvester for domain investors")
# The long description; CPack puts the summary above it as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "按页采集域名交易平台上已删除、可预定的域名，查询单个域名的删除类型、
删除时间、预定截止、whois、预定价格和 ICP 备案，记住采集过的域名，
按长度、后缀、类别、拼音、数字规律等条件筛选，导出为文本、CSV 或
Excel 工作簿。附带每日自动采集的 systemd 用户定时器和 cron 行
（/usr/share/jilan-harvester）。

Harvests the names of deleted domains open for backorder from a domain
marketplace's paged listing, looks up a domain's deletion type and times,
whois, backorder prices and Chinese ICP filing, keeps a history of every
name seen, filters names by length, suffix, class, pinyin and number
patterns, and exports text, CSV or Excel workbooks. Ships a systemd user
timer and a cron line for a daily window-less harvest of the new names
(/usr/share/jilan-harvester).")

include(CPack)
