# nlohmann json, spdlog and fmt. On Linux: Debian's packages (spdlog as a shared library,
# so that the host and every plugin share one implementation of the sink objects).
# For MinGW: the same headers, header-only, from a folder that holds only them, so that no
# Linux system header leaks into the Windows build.
if(WIN32)
    set(QUORVANE_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/third_party/include)
    foreach(lib nlohmann spdlog fmt)
        if(NOT EXISTS ${QUORVANE_HEADER_ONLY_DIR}/${lib})
            file(MAKE_DIRECTORY ${QUORVANE_HEADER_ONLY_DIR})
            file(CREATE_LINK /usr/include/${lib} ${QUORVANE_HEADER_ONLY_DIR}/${lib} SYMBOLIC)
        endif()
    endforeach()
    add_library(quorvane_third_party INTERFACE)
    target_include_directories(quorvane_third_party SYSTEM INTERFACE ${QUORVANE_HEADER_ONLY_DIR})
    target_compile_definitions(quorvane_third_party INTERFACE FMT_HEADER_ONLY SPDLOG_FMT_EXTERNAL)
    add_library(nlohmann_json::nlohmann_json ALIAS quorvane_third_party)
    add_library(spdlog::spdlog ALIAS quorvane_third_party)
    add_library(fmt::fmt ALIAS quorvane_third_party)
else()
    find_package(nlohmann_json 3.11 REQUIRED)
    find_package(fmt 9 REQUIRED)
    find_package(spdlog 1.10 REQUIRED)
    find_package(Threads REQUIRED)
endif()
