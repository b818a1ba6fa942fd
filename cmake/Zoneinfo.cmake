# The zone files shipped beside the plugin: where the system has no time-zone database (MinGW,
# Windows Server 2019) or lacks a zone, the plugin reads them (plugin/platform/TzifZone.cpp).
set(QUORVANE_ZONEINFO_SOURCE /usr/share/zoneinfo CACHE PATH
    "The compiled zone files to ship: Debian's tzdata (/usr/share/zoneinfo) or a copy of them")
if(NOT IS_DIRECTORY "${QUORVANE_ZONEINFO_SOURCE}")
    message(FATAL_ERROR "QUORVANE_ZONEINFO_SOURCE (${QUORVANE_ZONEINFO_SOURCE}) holds no zone "
                        "files: install Debian's tzdata, or name a copy of its /usr/share/zoneinfo")
endif()

# quorvane_ship_zones(TARGET DIR...): TARGET lays the zone files out in DIR/zoneinfo, each DIR.
function(quorvane_ship_zones target)
    set(outputs)
    set(commands)
    foreach(dir IN LISTS ARGN)
        list(APPEND outputs ${dir}/zoneinfo/version)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -DSOURCE=${QUORVANE_ZONEINFO_SOURCE}
                                     -DDESTINATION=${dir}/zoneinfo
                                     -P ${PROJECT_SOURCE_DIR}/cmake/ShipZones.cmake)
    endforeach()
    set(depends ${PROJECT_SOURCE_DIR}/cmake/ShipZones.cmake)
    foreach(marker tzdata.zi version)
        if(EXISTS ${QUORVANE_ZONEINFO_SOURCE}/${marker})
            list(APPEND depends ${QUORVANE_ZONEINFO_SOURCE}/${marker})
        endif()
    endforeach()
    add_custom_command(OUTPUT ${outputs} ${commands} DEPENDS ${depends}
                       COMMENT "Zone files beside the plugin")
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
