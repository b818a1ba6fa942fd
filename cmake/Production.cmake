# The production build: only Quorvane.dll, with MSVC, against a checkout of the real host
# framework. Not run on our machines (no MSVC); the syntax check of the plugin against the
# framework's headers is what runs here (see README).
#
#   QUORVANE_FRAMEWORK_DIR  the framework's checkout (it holds AsaApi/Core/Public)
#   QUORVANE_FRAMEWORK_LIB  its import library, AsaApi.lib
# nlohmann-json and fmt (the framework's own package dependencies) come from find_package,
# e.g. through vcpkg's toolchain file.
if(NOT MSVC)
    message(FATAL_ERROR "The production build needs MSVC (Visual Studio 2022, C++20).")
endif()
set(QUORVANE_FRAMEWORK_LIB "" CACHE FILEPATH "The real framework's import library, AsaApi.lib")
set(public ${QUORVANE_FRAMEWORK_DIR}/AsaApi/Core/Public)
if(NOT EXISTS ${public}/API/ARK/Ark.h OR NOT EXISTS "${QUORVANE_FRAMEWORK_LIB}")
    message(FATAL_ERROR "QUORVANE_FRAMEWORK_DIR must hold AsaApi/Core/Public and "
                        "QUORVANE_FRAMEWORK_LIB must name AsaApi.lib")
endif()
find_package(nlohmann_json CONFIG REQUIRED)
find_package(fmt CONFIG REQUIRED)

add_library(Quorvane SHARED ${QUORVANE_PLUGIN_SOURCES} ${QUORVANE_PLUGIN_WINDOWS_SOURCES}
                            ${CMAKE_CURRENT_LIST_DIR}/../plugin/core/Entry.cpp)
target_include_directories(Quorvane PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../plugin ${public}
                                            ${public}/API/UE)
target_link_libraries(Quorvane PRIVATE ${QUORVANE_FRAMEWORK_LIB} nlohmann_json::nlohmann_json
                                       fmt::fmt shell32)
target_compile_definitions(Quorvane PRIVATE UNICODE _UNICODE)
target_compile_options(Quorvane PRIVATE /utf-8 /permissive- /Zc:__cplusplus /EHsc /W4)
set_target_properties(Quorvane PROPERTIES MSVC_RUNTIME_LIBRARY "MultiThreadedDLL")
add_custom_command(TARGET Quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_CURRENT_LIST_DIR}/../plugin/PluginInfo.json $<TARGET_FILE_DIR:Quorvane>)
