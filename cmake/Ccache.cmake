# ccache when present. Paths inside the tree are hashed relative to it, and the
# build directory is left out of the hash, so a fresh clone reuses the cache.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()
