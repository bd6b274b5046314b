# Every package the build uses, looked up once (all from Debian 12; the
# names of the packages are in scripts/setup-deps).
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Widgets Charts)
find_package(CURL REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET GLOBAL libmicrohttpd)
find_program(MSGFMT msgfmt REQUIRED)
find_program(XGETTEXT xgettext REQUIRED)

if(CORVANE_BUILD_TESTS)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
  find_package(GTest REQUIRED)
  find_package(OpenSSL REQUIRED)
  # The test servers (tests/common) and the screenshot tool's demo site.
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET GLOBAL cpp-httplib)
endif()
if(CORVANE_BUILD_BENCH)
  find_package(benchmark QUIET)
endif()
