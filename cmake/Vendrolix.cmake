# Build conventions shared by every folder of the project.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(VENDROLIX_WINDOWS ON)
  enable_language(RC)
  if(NOT VENDROLIX_ARCH)
    set(VENDROLIX_ARCH ${CMAKE_SYSTEM_PROCESSOR})
  endif()
else()
  set(VENDROLIX_WINDOWS OFF)
  set(VENDROLIX_ARCH native)
endif()

# One version and one maker for everything that ships: the version resource
# of every program and component, the setup program and its uninstaller, and
# the Windows Installer package all take them from here.
set(VENDROLIX_VERSION ${PROJECT_VERSION})
set(VENDROLIX_COMPANY "Tervanic")
set(VENDROLIX_PRODUCT "Vendrolix")
set(VENDROLIX_COPYRIGHT "Copyright (C) Tervanic")
# How Windows Installer knows every version of the package as one product
# (upgrades, and the setup program's test for an installed package): it
# never changes.
set(VENDROLIX_MSI_UPGRADE_CODE "{5A1E12A7-C2EB-4A30-B0F2-11FFC9AE8C62}")

set(VENDROLIX_DIST_DIR "${CMAKE_BINARY_DIR}/../dist/${VENDROLIX_ARCH}" CACHE PATH
    "Where the built deliverables are collected under their installed names")
get_filename_component(VENDROLIX_DIST_DIR "${VENDROLIX_DIST_DIR}" ABSOLUTE)

# The other bitness's build tree, for tests that need both (set by scripts/test).
set(VENDROLIX_PEER_BUILD_DIR "" CACHE PATH "Build tree of the other Windows bitness")

add_library(vendrolix_warnings INTERFACE)
target_compile_options(vendrolix_warnings INTERFACE -Wall -Wextra -Wno-unused-parameter)

if(VENDROLIX_WINDOWS)
  # ANSI calls throughout: UNICODE is never defined.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 STRICT)

  # The version resource block (shared/win32/version_info.rch) and the
  # numbers it reads, for every resource script of the build.
  set(version_numbers "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/vendrolix_version.h.in ${CMAKE_BINARY_DIR}/generated/vendrolix_version.h @ONLY)
  add_compile_options("$<$<COMPILE_LANGUAGE:RC>:-I${CMAKE_BINARY_DIR}/generated>"
                      "$<$<COMPILE_LANGUAGE:RC>:-I${CMAKE_SOURCE_DIR}/shared/win32>")

  set(VENDROLIX_WINE_DIR "${CMAKE_BINARY_DIR}/wine")
  set(VENDROLIX_WINEBENCH "${CMAKE_SOURCE_DIR}/tests/wine/winebench.sh")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VENDROLIX_WINE_BITS 32)
  else()
    set(VENDROLIX_WINE_BITS 64)
  endif()
  # The bench command of this tree; a test it cannot run here exits with
  # VENDROLIX_WINE_SKIPPED, reported by CTest as skipped.
  set(VENDROLIX_WINEBENCH_TREE ${VENDROLIX_WINEBENCH} --dir ${VENDROLIX_WINE_DIR} --bits ${VENDROLIX_WINE_BITS})
  set(VENDROLIX_WINE_SKIPPED 77)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VENDROLIX_WINEBENCH};--dir;${VENDROLIX_WINE_DIR};--bits;${VENDROLIX_WINE_BITS};run")
endif()

set_property(GLOBAL PROPERTY VENDROLIX_DELIVERABLES "")

# Adds the named folders below the current one in the order given; a folder
# without a CMakeLists.txt yet is skipped, so each part can grow on its own.
function(vendrolix_add_folders)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# A deliverable: built into the dist folder under its installed file name.
function(vendrolix_deliverable target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${VENDROLIX_DIST_DIR}"
    LIBRARY_OUTPUT_DIRECTORY "${VENDROLIX_DIST_DIR}"
    PREFIX "")
  set_property(GLOBAL APPEND PROPERTY VENDROLIX_DELIVERABLES ${target})
  # The build does not scan resource scripts for what they include: a new
  # version must still remake every version resource.
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$")
      set_property(SOURCE ${source} APPEND PROPERTY OBJECT_DEPENDS
        ${CMAKE_BINARY_DIR}/generated/vendrolix_version.h ${CMAKE_SOURCE_DIR}/shared/win32/version_info.rch)
    endif()
  endforeach()
endfunction()

# A Windows test program run under Wine in this tree's throwaway prefix.
# Every Wine test shares the prefix's registry, so they run one at a time.
function(vendrolix_add_wine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND;LABELS;DEPENDS_FIXTURES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 180)
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  # Each test program starts in a copy of the template prefix with nothing
  # running, so that its verdicts never depend on which tests ran before it
  # (any -R subset, in any order, judges as the whole run does).
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT VENDROLIX_WINE_FRESH=1
    FIXTURES_REQUIRED "wine;${ARG_DEPENDS_FIXTURES}"
    RESOURCE_LOCK wineprefix
    SKIP_RETURN_CODE ${VENDROLIX_WINE_SKIPPED}
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "wine;${VENDROLIX_ARCH};${ARG_LABELS}")
endfunction()

function(vendrolix_finish)
  if(VENDROLIX_WINDOWS)
    # A fresh prefix and display before the first Wine test, and nothing left
    # running after the last one.
    add_test(NAME wine_setup COMMAND ${VENDROLIX_WINEBENCH_TREE} setup)
    set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 LABELS wine)
    add_test(NAME wine_teardown COMMAND ${VENDROLIX_WINEBENCH_TREE} teardown)
    set_tests_properties(wine_teardown PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60 LABELS wine)

    # Every deliverable must run on a bare Windows: system DLLs only.
    add_test(NAME dist_imports_${VENDROLIX_ARCH}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-imports.sh ${VENDROLIX_OBJDUMP} ${VENDROLIX_DIST_DIR})
    set_tests_properties(dist_imports_${VENDROLIX_ARCH} PROPERTIES LABELS dist)

    # The browser helper is loaded into every browser window: 288 KB at most
    # (the 32-bit build, with its unwind tables, is the larger: about 272 KB
    # since it lists the user's blocked windows and opens one on request,
    # and reads each value from its user's or session's place).
    if(TARGET VendrolixIEDLL)
      add_test(NAME dist_size_browser_helper_${VENDROLIX_ARCH}
        COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-size.sh $<TARGET_FILE:VendrolixIEDLL> 294912)
      set_tests_properties(dist_size_browser_helper_${VENDROLIX_ARCH} PROPERTIES LABELS "dist;browser")
    endif()
  endif()
endfunction()

# IDL compiled with widl: a C/C++ header, the interface identifiers and, for
# files that declare a library, a type library.
#   vendrolix_widl(<idl> HEADER <h> [IID <c>] [TLB <tlb>])
function(vendrolix_widl idl)
  cmake_parse_arguments(ARG "" "HEADER;IID;TLB" "" ${ARGN})
  get_filename_component(idl "${idl}" ABSOLUTE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(bits --win64)
    set(stdole_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  else()
    set(bits --win32)
    set(stdole_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  endif()
  set(flags ${bits} -I/usr/include/wine/wine/windows -L${stdole_dir})
  if(ARG_HEADER)
    add_custom_command(OUTPUT ${ARG_HEADER}
      COMMAND ${VENDROLIX_WIDL} ${flags} -h -o ${ARG_HEADER} ${idl}
      DEPENDS ${idl} VERBATIM)
  endif()
  if(ARG_IID)
    add_custom_command(OUTPUT ${ARG_IID}
      COMMAND ${VENDROLIX_WIDL} ${flags} -u -o ${ARG_IID} ${idl}
      DEPENDS ${idl} VERBATIM)
  endif()
  if(ARG_TLB)
    add_custom_command(OUTPUT ${ARG_TLB}
      COMMAND ${VENDROLIX_WIDL} ${flags} -t -o ${ARG_TLB} ${idl}
      DEPENDS ${idl} VERBATIM)
  endif()
endfunction()
