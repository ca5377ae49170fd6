# The libraries of the Windows build. zlib comes with the mingw-w64 sysroot
# (libz-mingw-w64-dev); SQLite, pugixml and minizip are compiled here from
# the unpacked source packages that tools/build-windows fetches:
#   FENNICK_SQLITE_SOURCE   folder holding the amalgamation (sqlite3.c, sqlite3.h)
#   FENNICK_PUGIXML_SOURCE  the pugixml source tree (src/pugixml.cpp)
#   FENNICK_ZLIB_SOURCE     the zlib source tree (contrib/minizip)
# The targets carry the names the Linux build gets from its packages, so the
# rest of the build does not tell the hosts apart.

set(FENNICK_SQLITE_SOURCE "" CACHE PATH "SQLite amalgamation folder")
set(FENNICK_PUGIXML_SOURCE "" CACHE PATH "pugixml source tree")
set(FENNICK_ZLIB_SOURCE "" CACHE PATH "zlib source tree (for minizip)")
foreach(required IN ITEMS
        FENNICK_SQLITE_SOURCE:sqlite3.c
        FENNICK_PUGIXML_SOURCE:src/pugixml.cpp
        FENNICK_ZLIB_SOURCE:contrib/minizip/iowin32.c)
  string(REPLACE ":" ";" parts ${required})
  list(GET parts 0 variable)
  list(GET parts 1 file)
  if(NOT EXISTS "${${variable}}/${file}")
    message(FATAL_ERROR "${variable} must name a folder holding ${file} "
                        "(tools/build-windows fetches the sources)")
  endif()
endforeach()

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# Third-party code is compiled with its own warnings left alone.
add_library(fennick_sqlite3 STATIC ${FENNICK_SQLITE_SOURCE}/sqlite3.c)
target_include_directories(fennick_sqlite3 SYSTEM PUBLIC ${FENNICK_SQLITE_SOURCE})
target_compile_definitions(fennick_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(fennick_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS fennick_sqlite3)

add_library(fennick_pugixml STATIC ${FENNICK_PUGIXML_SOURCE}/src/pugixml.cpp)
target_include_directories(fennick_pugixml SYSTEM PUBLIC ${FENNICK_PUGIXML_SOURCE}/src)
target_compile_options(fennick_pugixml PRIVATE -w)
add_library(PkgConfig::PUGIXML ALIAS fennick_pugixml)

# minizip's reader with the Win32 file functions (wide paths). Its headers
# are reached as <minizip/...>, as the Linux package installs them.
set(minizip_dir ${FENNICK_ZLIB_SOURCE}/contrib/minizip)
add_library(fennick_minizip STATIC
  ${minizip_dir}/ioapi.c ${minizip_dir}/unzip.c ${minizip_dir}/iowin32.c)
set(minizip_include ${CMAKE_BINARY_DIR}/minizip-include)
file(MAKE_DIRECTORY ${minizip_include}/minizip)
foreach(header IN ITEMS ioapi.h unzip.h iowin32.h crypt.h)
  configure_file(${minizip_dir}/${header} ${minizip_include}/minizip/${header} COPYONLY)
endforeach()
target_include_directories(fennick_minizip SYSTEM PUBLIC ${minizip_include})
target_include_directories(fennick_minizip PRIVATE ${minizip_dir})
target_link_libraries(fennick_minizip PUBLIC ZLIB::ZLIB)
target_compile_options(fennick_minizip PRIVATE -w)
add_library(PkgConfig::MINIZIP ALIAS fennick_minizip)

# GoogleTest from Debian's source package of it.
set(FENNICK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
