# Flags shared by every target of the project.

# Narrow strings are the system's ANSI code page at run time (Windows-1251 on the office
# machines), so the UTF-8 sources are compiled to CP1251 narrow literals on every build.
# Wide literals (L"...") stay UTF-16 and are what the GUI shows.
add_compile_options(-finput-charset=UTF-8 -fexec-charset=CP1251
                    -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

if(WIN32)
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  # One self-contained .exe/.dll: no libstdc++/winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  if(VELORA_ASAN)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(VELORA_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
endif()

# velora_gtest(NAME SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [SERIAL])
# One ctest entry per test program: under Wine each process start costs about a second,
# so cases are grouped in programs rather than registered one by one.
function(velora_gtest name)
  cmake_parse_arguments(A "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} velora_gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${A_LABELS}")
  if(A_SERIAL)
    # Tests that use the Service Control Manager, the registry key of the service or a fixed port.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK velora_machine)
  endif()
endfunction()

# velora_manifest(TARGET [ADMIN] [COMMON_CONTROLS])
# Embeds an application manifest in a Windows program: the Windows versions it supports,
# the rights it runs with (asInvoker, or requireAdministrator with ADMIN) and, with
# COMMON_CONTROLS, version 6 of the common controls.
function(velora_manifest target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "ADMIN;COMMON_CONTROLS" "" "" ${ARGN})
  set(VELORA_MANIFEST_NAME ${target})
  set(VELORA_MANIFEST_VERSION 1.0.0.0)
  set(VELORA_MANIFEST_LEVEL asInvoker)
  if(A_ADMIN)
    set(VELORA_MANIFEST_LEVEL requireAdministrator)
  endif()
  set(VELORA_MANIFEST_EXTRA "")
  if(A_COMMON_CONTROLS)
    set(VELORA_MANIFEST_EXTRA "  <dependency>\n    <dependentAssembly>\n      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n    </dependentAssembly>\n  </dependency>\n")
  endif()
  set(VELORA_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/manifest/app.manifest.in ${VELORA_MANIFEST_FILE} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/manifest/manifest.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc PROPERTIES
                              OBJECT_DEPENDS ${VELORA_MANIFEST_FILE})
endfunction()

# The version of the service, the control panel and the tools; the component has its own.
set(VELORA_VERSION 2.5.2.2520)

# velora_version(TARGET DESCRIPTION text [VERSION a.b.c.d] [SELF_REGISTER])
# Gives a Windows binary its version resource: the numbers Explorer shows, the company and
# product, the description; SELF_REGISTER marks a DLL that registers itself (regsvr32).
function(velora_version target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(A "SELF_REGISTER" "DESCRIPTION;VERSION" "" ${ARGN})
  set(VELORA_VERSION_DESCRIPTION "${A_DESCRIPTION}")
  if(A_VERSION)
    set(VELORA_VERSION ${A_VERSION})
  endif()
  string(REPLACE "." "," VELORA_VERSION_COMMAS ${VELORA_VERSION})
  get_target_property(type ${target} TYPE)
  set(VELORA_VERSION_NAME ${target})
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(output_name)
    set(VELORA_VERSION_NAME ${output_name})
  endif()
  set(VELORA_VERSION_EXTRA "")
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set(VELORA_VERSION_TYPE VFT_DLL)
    set(VELORA_VERSION_FILE ${VELORA_VERSION_NAME}.dll)
  else()
    set(VELORA_VERSION_TYPE VFT_APP)
    set(VELORA_VERSION_FILE ${VELORA_VERSION_NAME}.exe)
  endif()
  if(A_SELF_REGISTER)
    set(VELORA_VERSION_EXTRA "      VALUE \"OLESelfRegister\", \"\"\n")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
