# cmake -DSOURCE=DIR -DDESTINATION=DIR -P ShipZones.cmake: lays out the zone files that ship
# beside the plugin (and quorvane-config) for systems without a time-zone database: every
# compiled zone file (TZif) of SOURCE, Debian's /usr/share/zoneinfo from its tzdata package or a
# folder laid out by this script, links copied as files (a Windows server has none); not the
# leap-second zones (right/), the duplicates of posix/ and posixrules, the system's own
# localtime, nor Factory, which names no place and which the system's database does not list. DESTINATION/version names the tzdata release ("2025b").
cmake_minimum_required(VERSION 3.25)
if(NOT IS_DIRECTORY "${SOURCE}")
    message(FATAL_ERROR "No zone files in ${SOURCE} (Debian: apt-get install tzdata)")
endif()
file(REMOVE_RECURSE "${DESTINATION}")
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
set(count 0)
foreach(file IN LISTS files)
    if(file MATCHES "^(right|posix)/" OR file MATCHES "^(posixrules|localtime|Factory)$")
        continue()
    endif()
    file(READ "${SOURCE}/${file}" magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "545a6966")  # TZif
        continue()
    endif()
    configure_file("${SOURCE}/${file}" "${DESTINATION}/${file}" COPYONLY)
    math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
    message(FATAL_ERROR "No zone files in ${SOURCE}")
endif()
set(version "")
if(EXISTS "${SOURCE}/tzdata.zi")
    file(STRINGS "${SOURCE}/tzdata.zi" line LIMIT_COUNT 1 REGEX "^# version ")
    string(REGEX REPLACE "^# version +" "" version "${line}")
elseif(EXISTS "${SOURCE}/version")
    file(STRINGS "${SOURCE}/version" version LIMIT_COUNT 1)
endif()
file(WRITE "${DESTINATION}/version" "${version}\n")
