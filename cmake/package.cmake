# Debian packages: `cpack -G DEB` in a Release build directory configured
# with CMAKE_INSTALL_PREFIX=/usr (the top-level `make package` does it all)
# builds three, one per install component:
#   zekt         (programs)     zekt and ZektWin, man pages, completion, desktop entry
#   libzekt1     (library)      libzekt.so.1
#   libzekt-dev  (development)  link, headers, zekt.pc, CMake package, zekt(3), examples
#
# This file is read twice: by the project, where it sets up CPack, and by
# cpack itself once the files are staged, to add what only the packages
# want and a plain `cmake --install` should not: stripped binaries,
# compressed man pages, and the copyright file and changelog Debian expects
# in each package's share/doc.

if(DEFINED CPACK_TEMPORARY_DIRECTORY)
  # Independent of the umask of whoever builds the package.
  set(file_mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  set(dir_mode ${file_mode} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)

  # -n leaves name and time out of the header, so that the bytes depend on
  # the content alone.
  function(zekt_gzip file)
    execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip ${file} failed")
    endif()
    file(CHMOD "${file}.gz" PERMISSIONS ${file_mode})
  endfunction()

  function(zekt_strip file)
    execute_process(COMMAND "${CPACK_ZEKT_STRIP}" --remove-section=.comment --remove-section=.note ${ARGN} "${file}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip ${file} failed")
    endif()
  endfunction()

  set(copyright [=[
zekt - Japanese text code converter

Copyright (C) 2026 the zekt authors

Permission is hereby granted, free of charge, to any person obtaining a copy
of this software and associated documentation files (the "Software"), to deal
in the Software without restriction, including without limitation the rights
to use, copy, modify, merge, publish, distribute, sublicense, and/or sell
copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in
all copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,
OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
SOFTWARE.
]=])

  # One component's staged tree, ROOT being its prefix, as package PACKAGE.
  function(zekt_finish_package root package)
    # As dh_strip does: symbols and the compiler's notes out, the symbols
    # other objects link against kept in a library.
    file(GLOB programs "${root}/bin/*")
    foreach(program IN LISTS programs)
      zekt_strip("${program}")
    endforeach()
    file(GLOB_RECURSE libraries "${root}/lib/*.so.*")
    foreach(library IN LISTS libraries)
      if(NOT IS_SYMLINK "${library}")
        zekt_strip("${library}" --strip-unneeded)
        # Not executable, whatever CMAKE_INSTALL_SO_NO_EXE said.
        file(CHMOD "${library}" PERMISSIONS ${file_mode})
      endif()
    endforeach()

    file(GLOB pages "${root}/share/man/man*/*.[1-9]")
    foreach(page IN LISTS pages)
      zekt_gzip("${page}")
    endforeach()

    set(doc "${root}/share/doc/${package}")
    file(MAKE_DIRECTORY "${doc}")
    file(CHMOD "${root}/share/doc" "${doc}" PERMISSIONS ${dir_mode})
    file(WRITE "${doc}/copyright" "${copyright}")
    file(CHMOD "${doc}/copyright" PERMISSIONS ${file_mode})

    # dpkg tools read the package's own history from here. The date honours
    # SOURCE_DATE_EPOCH, for reproducible packages.
    string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE "${doc}/changelog" "\
${package} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
    zekt_gzip("${doc}/changelog")
  endfunction()

  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER "${component}" upper)
    zekt_finish_package("${CPACK_TEMPORARY_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}"
                        "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
  endforeach()

  # The library's dependencies, found here rather than by CPack: whenever
  # CPack reads a library's ELF files (for dpkg-shlibdeps or for shlibs) it
  # also writes a postinst and a postrm that call ldconfig, which the
  # package's ldconfig trigger makes redundant and Debian rejects. cpack
  # builds the packages with the variables this script leaves.
  if(CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
    set(root "${CPACK_TEMPORARY_DIRECTORY}/library")
    file(GLOB_RECURSE files "${root}/*.so.*")
    set(libraries)
    foreach(file IN LISTS files)
      if(NOT IS_SYMLINK "${file}")
        list(APPEND libraries "${file}")
      endif()
    endforeach()
    # dpkg-shlibdeps wants to be run from a source package's top directory,
    # on files in a package's tree.
    file(WRITE "${root}/debian/control" "")
    file(MAKE_DIRECTORY "${root}/DEBIAN")
    execute_process(COMMAND dpkg-shlibdeps -O ${libraries} WORKING_DIRECTORY "${root}" OUTPUT_VARIABLE depends
                    RESULT_VARIABLE failed)
    file(REMOVE_RECURSE "${root}/debian" "${root}/DEBIAN")
    if(failed OR NOT depends MATCHES "^shlibs:Depends=")
      message(FATAL_ERROR "dpkg-shlibdeps ${libraries} failed")
    endif()
    string(REGEX REPLACE "^shlibs:Depends=" "" depends "${depends}")
    string(STRIP "${depends}" CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS)
  endif()
  return()
endif()

get_target_property(zekt_soversion libzekt SOVERSION)
set(zekt_library_package libzekt${zekt_soversion})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zekt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the zekt authors")
set(CPACK_PACKAGE_CONTACT "the zekt authors <zekt@zekt.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_ZEKT_STRIP "${CMAKE_STRIP}")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_FILE})
# dpkg-shlibdeps (dpkg-dev) finds the libraries, Qt's among them, and the
# package versions that provide them. The programs link the engine
# statically, so that zekt needs no libzekt1.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Control files as Debian wants them, 0644 and 0755 for scripts.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs library development)

# The description's first line is the synopsis. CPACK_PACKAGE_DESCRIPTION_SUMMARY
# stays unset: CPack would put it before every package's own.
set(zekt_about [=[
zekt converts Japanese text between EUC, 7-bit JIS (ISO-2022-JP),
Shift-JIS (with Windows' code page 932), UTF-8 and UTF-16, and between
LF, CR and CR+LF line ends. It detects the input code as it reads,
refuses binary input, reports the code and line ends it found in check
mode, and can turn full-width ASCII and half-width katakana into their
common forms on the way.]=])
set(zekt_library_about [=[
libzekt is zekt's engine as a C library: the same conversion between EUC,
7-bit JIS (ISO-2022-JP), Shift-JIS (with Windows' code page 932), UTF-8
and UTF-16, the same detection, binary check and check text, over buffers
that the calling program owns. Another program converts Japanese text
in-process and gets exactly the bytes that zekt writes.]=])

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME zekt)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "\
Japanese text code converter (EUC, JIS, Shift-JIS, UTF-8, UTF-16)
${zekt_about}

The package holds the console filter zekt, with bash completion, and the
desktop program ZektWin, which converts or checks the files dropped on
its window.")
# Without a Japanese font every label of ZektWin is a box; without Qt's
# translations its file dialogs stay English.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS
    "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic, qt6-translations-l10n")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${zekt_library_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "\
Japanese text code conversion library (EUC, JIS, Shift-JIS, UTF-8/16)
${zekt_library_about}

The package holds the shared library, libzekt.so.${zekt_soversion}.")
# Its dependencies are found when the files are staged, above.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SHLIBDEPS OFF)
# What programs built against the library depend on (the library of this
# version or later: the ABI only grows under one SONAME), and the trigger
# that has ldconfig update its cache.
set(zekt_control ${CMAKE_CURRENT_BINARY_DIR}/package-control)
file(WRITE ${zekt_control}/shlibs
  "libzekt ${zekt_soversion} ${zekt_library_package} (>= ${PROJECT_VERSION})\n")
file(WRITE ${zekt_control}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${zekt_control}/shlibs ${zekt_control}/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzekt-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "\
Japanese text code conversion library - development files
${zekt_library_about}

The package holds what building against the library needs: the headers
zekt/zekt.h (C) and zekt/zekt.hpp (C++), the link libzekt.so, zekt.pc for
pkg-config, the CMake package (find_package(zekt), target zekt::zekt), the
man page zekt(3), and two example programs.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${zekt_library_package} (= ${PROJECT_VERSION})")

include(CPack)
