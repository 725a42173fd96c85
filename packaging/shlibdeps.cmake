# Run by CPack once it has staged the package's files: the package depends
# on what dpkg-shlibdeps finds its binaries linking. (CPack's own
# CPACK_DEBIAN_PACKAGE_SHLIBDEPS would also add maintainer scripts running
# ldconfig, needless for a library in a private folder, and the package is
# to have none.)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
set(binaries)
foreach(file IN LISTS staged)
  if(NOT IS_SYMLINK ${file})
    file(READ ${file} magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      list(APPEND binaries -e${file})
    endif()
  endif()
endforeach()
if(NOT binaries)
  message(FATAL_ERROR "The package holds no binary.")
endif()
# dpkg-shlibdeps reads the package's name from a debian/control (any will
# do) and knows the package's root by its DEBIAN folder.
set(work ${CPACK_TEMPORARY_DIRECTORY}/../shlibdeps)
file(WRITE ${work}/debian/control "")
list(GET binaries 0 first)
string(REGEX REPLACE "^-e(.*)/usr/.*$" "\\1" root "${first}")
file(MAKE_DIRECTORY ${root}/DEBIAN)
execute_process(COMMAND dpkg-shlibdeps -O ${binaries}
  WORKING_DIRECTORY ${work}
  OUTPUT_VARIABLE found
  RESULT_VARIABLE failed)
file(REMOVE_RECURSE ${work} ${root}/DEBIAN)
if(failed OR NOT found MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies of ${binaries}: ${found}")
endif()
set(depends "${CMAKE_MATCH_1}")
# The libraries the program opens only when a feature needs them are no
# links dpkg-shlibdeps could see: the package depends on each one's package
# as its shlibs file asks ("libjpeg 62 libjpeg62-turbo (>= ...)").
foreach(library IN LISTS CPACK_FLICKSTOW_ON_DEMAND_LIBRARIES)
  execute_process(COMMAND dpkg -S "${library}" OUTPUT_VARIABLE owner RESULT_VARIABLE failed)
  if(failed OR NOT owner MATCHES "^([^:,]+)")
    message(FATAL_ERROR "No installed package holds ${library}, which the program opens when needed.")
  endif()
  set(package "${CMAKE_MATCH_1}")
  set(dependency "${package}")
  execute_process(COMMAND dpkg-query --control-show "${package}" shlibs OUTPUT_VARIABLE shlibs ERROR_QUIET)
  get_filename_component(name "${library}" NAME)
  if(name MATCHES "^(.+)\\.so\\.([0-9]+)")
    string(REGEX MATCH "(^|\n)${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ([^\n]+)" line "${shlibs}")
    if(line)
      set(dependency "${CMAKE_MATCH_2}")
    endif()
  endif()
  if(NOT ", ${depends}," MATCHES ", ${package}[ ,]")
    string(APPEND depends ", ${dependency}")
  endif()
endforeach()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
