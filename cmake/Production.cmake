# The production build: only Quorvane.dll, with MSVC, against a checkout of the real host
# framework. Not run on our machines (no MSVC); the syntax check of the plugin against the
# framework's headers is what runs here (see docs/production-build.md).
#
#   QUORVANE_FRAMEWORK_DIR  the framework's checkout (it holds AsaApi/Core/Public)
#   QUORVANE_FRAMEWORK_LIB  its import library, AsaApi.lib
# nlohmann-json is our own dependency (the framework vendors a json.hpp of its own), e.g.
# through vcpkg's toolchain file. The framework's headers bring their logging library and the
# header-only fmt bundled with it; nothing else is linked but Windows' own libraries (WinHTTP
# for the verified Discord posts).
#
# The framework is built with the MSVC toolset 14.39 (v143, VCToolsVersion 14.39.33519), and
# so is its AsaApi.lib: build with the same toolset, e.g. -T v143,version=14.39.
if(NOT MSVC)
    message(FATAL_ERROR "The production build needs MSVC (Visual Studio 2022, C++20).")
endif()
if(MSVC_VERSION GREATER_EQUAL 1940)
    message(WARNING "MSVC ${CMAKE_CXX_COMPILER_VERSION}: the framework is built with toolset "
                    "14.39; choose it with -T v143,version=14.39")
endif()
set(QUORVANE_FRAMEWORK_LIB "" CACHE FILEPATH "The real framework's import library, AsaApi.lib")
set(public ${QUORVANE_FRAMEWORK_DIR}/AsaApi/Core/Public)
if(NOT EXISTS ${public}/API/ARK/Ark.h OR NOT EXISTS "${QUORVANE_FRAMEWORK_LIB}")
    message(FATAL_ERROR "QUORVANE_FRAMEWORK_DIR must hold AsaApi/Core/Public and "
                        "QUORVANE_FRAMEWORK_LIB must name AsaApi.lib")
endif()
find_package(nlohmann_json CONFIG REQUIRED)

add_library(Quorvane SHARED ${QUORVANE_PLUGIN_SOURCES} ${QUORVANE_PLUGIN_WINDOWS_SOURCES}
                            ${QUORVANE_PLUGIN_ENTRY_SOURCE})
target_include_directories(Quorvane PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../plugin ${public}
                                            ${public}/API/UE)
target_link_libraries(Quorvane PRIVATE ${QUORVANE_FRAMEWORK_LIB} nlohmann_json::nlohmann_json
                                       shell32 ws2_32 winhttp)
# NOMINMAX: the framework's <windows.h> would make min and max macros. The constexpr
# std::mutex constructor of toolsets from 14.40 on needs an msvcp140.dll at least as new, and
# a server may have an older one: the first lock would crash the process.
target_compile_definitions(Quorvane PRIVATE UNICODE _UNICODE NOMINMAX
                                            _DISABLE_CONSTEXPR_MUTEX_CONSTRUCTOR)
target_compile_options(Quorvane PRIVATE /utf-8 /permissive- /Zc:__cplusplus /EHsc /W4)
set_target_properties(Quorvane PROPERTIES MSVC_RUNTIME_LIBRARY "MultiThreadedDLL")
add_custom_command(TARGET Quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_CURRENT_LIST_DIR}/../plugin/PluginInfo.json $<TARGET_FILE_DIR:Quorvane>)
# The zone files for servers whose Windows has no zone database (Windows Server 2019): name a
# copy of Debian's /usr/share/zoneinfo, e.g. the zoneinfo/ a Linux build lays out beside the
# plugin, with -DQUORVANE_ZONEINFO_SOURCE=DIR. They go to zoneinfo/ beside Quorvane.dll.
include(${CMAKE_CURRENT_LIST_DIR}/Zoneinfo.cmake)
add_custom_command(TARGET Quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${QUORVANE_ZONEINFO_SOURCE}
            -DDESTINATION=$<TARGET_FILE_DIR:Quorvane>/zoneinfo
            -P ${CMAKE_CURRENT_LIST_DIR}/ShipZones.cmake)
