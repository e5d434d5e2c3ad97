# Install layout and packages. `cmake --install` puts the programs into
# bin/ and the documentation into share/doc/velder/; CPack turns the same
# layout into a Debian package on Linux and a zip from the Windows cross
# build.
include(GNUInstallDirs)

install(TARGETS velder RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velder-pauser)
  install(TARGETS velder-pauser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# Beside velder, where velder looks for it.
install(TARGETS velder-pch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB VELDER_DOCS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${VELDER_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Chinese guide as a web page too, beside its Markdown: rendered when
# velder is built by cmark-gfm (GitHub's fork of the CommonMark reference
# implementation, with tables), inside a page with its own small
# stylesheet (cmake/guide.html.in) and nothing fetched from elsewhere.
find_program(VELDER_CMARK cmark-gfm)
set(VELDER_GUIDE_HTML ${CMAKE_BINARY_DIR}/package/guide-zh_CN.html)
if(VELDER_CMARK)
  set(guide_md ${PROJECT_SOURCE_DIR}/docs/guide-zh_CN.md)
  add_custom_command(OUTPUT ${VELDER_GUIDE_HTML}
    COMMAND ${CMAKE_COMMAND} -DCMARK=${VELDER_CMARK} -DIN=${guide_md}
            -DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/guide.html.in -DOUT=${VELDER_GUIDE_HTML}
            -P ${PROJECT_SOURCE_DIR}/cmake/guide_html.cmake
    DEPENDS ${guide_md} ${PROJECT_SOURCE_DIR}/cmake/guide.html.in
            ${PROJECT_SOURCE_DIR}/cmake/guide_html.cmake
    COMMENT "Rendering the guide as a web page" VERBATIM)
  add_custom_target(velder-guide ALL DEPENDS ${VELDER_GUIDE_HTML})
  install(FILES ${VELDER_GUIDE_HTML} DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  message(STATUS "cmark-gfm not found: the guide is installed as Markdown only, without its "
                 "web page; install cmark-gfm (the Debian package of that name) to make it")
endif()

set(CPACK_PACKAGE_NAME velder)
set(CPACK_PACKAGE_VENDOR "Tarnwickshade")
set(CPACK_PACKAGE_CONTACT "Tarnwickshade velder developers <velder@tarnwickshade.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "console front end for writing, compiling and running C++ programs")
set(CPACK_PACKAGE_DESCRIPTION
"velder is a small menu-driven console program in Simplified Chinese: it
creates or opens a single-file C++ program in an editor, compiles it with
the compiler and options you set, and starts it, optionally through
velder-pauser, which keeps the program's output on screen afterwards.

velder 是一个简体中文的控制台小程序：用菜单新建或打开单文件 C++ 程序，
用你设置的编译器和编译选项编译，然后运行它；也可以通过 velder-pauser
运行，程序结束后输出仍留在屏幕上。")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
  # The installer runs it to write the first settings file.
  install(TARGETS velder-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The Start menu's link to the guide opens the web page in the default
  # browser. Without cmark-gfm it opens a text copy in Notepad instead:
  # UTF-8 with a byte-order mark and CR LF line ends (Notepad before
  # Windows 10 1903 takes a file without the mark for the ANSI code page,
  # and before 1809 shows no LF-only line breaks). Both have ASCII names:
  # Wine keeps a shortcut's target in the ANSI code page only.
  if(VELDER_CMARK)
    set(CPACK_VELDER_GUIDE guide-zh_CN.html)
  else()
    set(guide ${PROJECT_SOURCE_DIR}/docs/guide-zh_CN.md)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${guide})
    file(READ ${guide} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    string(ASCII 239 187 191 bom)
    file(WRITE ${CMAKE_BINARY_DIR}/package/guide-zh_CN.txt "${bom}${text}")
    install(FILES ${CMAKE_BINARY_DIR}/package/guide-zh_CN.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
    set(CPACK_VELDER_GUIDE guide-zh_CN.txt)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
  # Beside the zip, an installer, when NSIS is there to make it: 64-bit
  # (cmake/NSIS.template.in), for the user who runs it, without
  # administrator rights: into their %LOCALAPPDATA%\Programs, with a
  # Start-menu shortcut that starts velder in a folder of their own.
  find_program(VELDER_MAKENSIS makensis)
  if(VELDER_MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
  endif()
  set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake)
  # Four backslashes: CPackConfig.cmake is read as CMake code again, and
  # NSIS must get one.
  set(CPACK_NSIS_INSTALL_ROOT "$LOCALAPPDATA\\\\Programs")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY velder)
  set(CPACK_NSIS_PACKAGE_NAME "velder ${PROJECT_VERSION}")
  set(CPACK_NSIS_DISPLAY_NAME "velder ${PROJECT_VERSION}")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # A compiler is what velder is for, but it runs and keeps its settings
  # without one; tmux lets it open a program in a window of its own.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "g++")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tmux")

  # The installed program also brings what the system expects of it: the
  # licence as a machine-readable copyright file, the changelog, manual
  # pages in English and Chinese and a desktop entry. They are made when
  # the build is configured, so that they exist whatever was built, and
  # compressed with gzip -9n (no name, no time stamp): the same sources
  # always give the same bytes.
  set(VELDER_PKG_DIR ${CMAKE_BINARY_DIR}/package)
  find_program(VELDER_GZIP gzip REQUIRED)

  function(velder_gzip src dest)
    get_filename_component(dir ${dest} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND ${VELDER_GZIP} -9n -c ${src} OUTPUT_FILE ${dest} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "gzip could not compress ${src}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
  endfunction()

  # The copyright file holds LICENSE word for word: its copyright line
  # becomes the Copyright field, the text after it the licence.
  set(license_file ${PROJECT_SOURCE_DIR}/LICENSE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_file})
  file(READ ${license_file} license)
  if(NOT license MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
    message(FATAL_ERROR "LICENSE: no copyright line followed by the licence text")
  endif()
  set(VELDER_COPYRIGHT ${CMAKE_MATCH_1})
  string(STRIP "${CMAKE_MATCH_2}" text)
  string(REPLACE "\n\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(VELDER_LICENSE_TEXT " ${text}")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in ${VELDER_PKG_DIR}/copyright @ONLY)

  # The changelog's latest entry must be the version being packaged.
  set(changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
  file(STRINGS ${changelog} latest LIMIT_COUNT 1)
  if(NOT latest MATCHES "^velder \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: the latest entry is not version ${PROJECT_VERSION}")
  endif()
  velder_gzip(${changelog} ${VELDER_PKG_DIR}/changelog.gz)
  install(FILES ${VELDER_PKG_DIR}/copyright ${VELDER_PKG_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  foreach(lang_dir man1 zh_CN/man1)
    file(GLOB pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${lang_dir}/*.1)
    set(gz_pages)
    foreach(page ${pages})
      get_filename_component(name ${page} NAME)
      velder_gzip(${page} ${VELDER_PKG_DIR}/man/${lang_dir}/${name}.gz)
      list(APPEND gz_pages ${VELDER_PKG_DIR}/man/${lang_dir}/${name}.gz)
    endforeach()
    install(FILES ${gz_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/${lang_dir})
  endforeach()

  install(FILES ${PROJECT_SOURCE_DIR}/packaging/velder.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/velder.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
include(CPack)
