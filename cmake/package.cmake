# Debian package: `cpack -G DEB` in a Release build directory (the top-level
# `make package` does it all).
#
# This file is read twice: by the project, where it sets up CPack, and by
# cpack itself once the files are staged, to add what only the package
# wants and a plain `cmake --install` should not: the compressed man page,
# the copyright file and the changelog Debian expects in share/doc.

if(DEFINED CPACK_TEMPORARY_DIRECTORY)
  set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
  set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
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

  # As dh_strip does: symbols and the compiler's notes out.
  file(GLOB programs "${root}/bin/*")
  foreach(program IN LISTS programs)
    execute_process(
      COMMAND "${CPACK_ZEKT_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip ${program} failed")
    endif()
  endforeach()

  file(GLOB pages "${root}/share/man/man*/*.[1-9]")
  foreach(page IN LISTS pages)
    zekt_gzip("${page}")
  endforeach()

  file(MAKE_DIRECTORY "${doc}")
  file(CHMOD "${root}/share/doc" "${doc}" PERMISSIONS ${dir_mode})

  file(WRITE "${doc}/copyright" [=[
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
  file(CHMOD "${doc}/copyright" PERMISSIONS ${file_mode})

  # dpkg tools read the package's own history from here. The date honours
  # SOURCE_DATE_EPOCH, for reproducible packages.
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE "${doc}/changelog" "\
${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
  zekt_gzip("${doc}/changelog")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zekt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the zekt authors")
set(CPACK_PACKAGE_CONTACT "the zekt authors <zekt@zekt.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Japanese text code converter (EUC, JIS, Shift-JIS, UTF-8, UTF-16)")
set(CPACK_PACKAGE_DESCRIPTION [=[
zekt converts Japanese text between EUC, 7-bit JIS (ISO-2022-JP),
Shift-JIS (with Windows' code page 932), UTF-8 and UTF-16, and between
LF, CR and CR+LF line ends. It detects
the input code as it reads, refuses binary input, reports the code and
line ends it found in check mode, and can turn full-width ASCII and
half-width katakana into their common forms on the way.

The package holds the console filter zekt, with bash completion, and the
desktop program ZektWin, which converts or checks the files dropped on
its window.]=])
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# dpkg-shlibdeps (dpkg-dev) finds the libraries, Qt's among them, and the
# package versions that provide them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a Japanese font every label of ZektWin is a box.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_ZEKT_STRIP "${CMAKE_STRIP}")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_FILE})

include(CPack)
