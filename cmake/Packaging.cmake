# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvan)
set(CPACK_PACKAGE_VENDOR "Tolvan")
set(CPACK_PACKAGE_CONTACT "Tolvan maintainers <maintainers@tolvan.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "database query tool with a Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION "Tolvan connects to an ODBC data source, SQL Server, Oracle or a local
database file, runs SQL and shows the rows in an editable, sortable grid. It exports results
to CSV/TAB files, Excel workbooks and HTML pages, imports CSV/TAB files and runs batch
imports and exports of many tables.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tolvan)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tolvan.invalid/")
# The libraries the program links (Qt, unixODBC, SQLite, the C++ runtime) come from
# dpkg-shlibdeps with their versions; these are loaded at run time (the X11 platform plugin,
# the SVG icon engine) or needed by the Excel output.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, libxlsxwriter4")
# Noto covers the characters the IPA fonts lack; the input-method frontends let Japanese be
# typed (Qt 6 speaks to IBus by itself).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipafont-gothic, fonts-noto-cjk, fcitx5-frontend-qt6 | ibus, odbcinst, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm | kchmviewer, odbc-postgresql, odbc-mariadb, tdsodbc, odbc-mdbtools, libsqliteodbc")
include(CPack)
