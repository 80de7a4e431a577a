# Debian's SOCI 4.0 ships neither a CMake config nor a pkg-config file.
find_path(SOCI_INCLUDE_DIR soci/soci.h REQUIRED)
find_library(SOCI_CORE_LIB soci_core REQUIRED)
find_library(SOCI_SQLITE3_LIB soci_sqlite3 REQUIRED)
find_library(SOCI_POSTGRESQL_LIB soci_postgresql REQUIRED)
find_path(BOOST_INCLUDE_DIR boost/version.hpp REQUIRED)
add_library(Soci::soci INTERFACE IMPORTED)
target_include_directories(Soci::soci INTERFACE ${SOCI_INCLUDE_DIR} ${BOOST_INCLUDE_DIR} ${PostgreSQL_INCLUDE_DIRS})
target_link_libraries(Soci::soci INTERFACE ${SOCI_SQLITE3_LIB} ${SOCI_POSTGRESQL_LIB} ${SOCI_CORE_LIB}
  SQLite::SQLite3 PostgreSQL::PostgreSQL)
