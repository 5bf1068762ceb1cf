# Cross-checks between the metainfo, the desktop entry, the icon, the manual
# page and the project, which neither validator can see.
#   cmake -DSOURCE_DIR=... -DAPP_ID=... -DPROJECT_VERSION=... -P CheckMetadata.cmake

cmake_minimum_required(VERSION 3.25)

set(failures "")
macro(fail message)
    list(APPEND failures "${message}")
endmacro()

file(READ "${SOURCE_DIR}/data/${APP_ID}.metainfo.xml" metainfo)
file(READ "${SOURCE_DIR}/data/brindlewood-feed-editor.desktop" desktop)

# A release without its entry shows the old version in software centres.
if(NOT metainfo MATCHES "<release version=\"([^\"]+)\"")
    fail("metainfo has no release entry")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    fail("newest metainfo release is ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}")
endif()

if(NOT metainfo MATCHES "<id>${APP_ID}</id>")
    fail("metainfo id is not ${APP_ID}")
endif()

if(NOT metainfo MATCHES "<launchable type=\"desktop-id\">([^<]+)</launchable>")
    fail("metainfo names no launchable desktop entry")
elseif(NOT EXISTS "${SOURCE_DIR}/data/${CMAKE_MATCH_1}")
    fail("metainfo launches ${CMAKE_MATCH_1}, which is not in data/")
endif()

# Screenshots are served from the repository's docs/screenshots folder.
string(REGEX MATCHALL "<image>[^<]+</image>" images "${metainfo}")
if(NOT images)
    fail("metainfo has no screenshot")
endif()
foreach(image IN LISTS images)
    if(NOT image MATCHES "/(docs/screenshots/[^<]+)</image>")
        fail("screenshot ${image} does not point into docs/screenshots")
    elseif(NOT EXISTS "${SOURCE_DIR}/${CMAKE_MATCH_1}")
        fail("screenshot ${CMAKE_MATCH_1} is missing from the repository")
    endif()
endforeach()

if(NOT desktop MATCHES "\nIcon=([^\n]+)")
    fail("desktop entry has no Icon")
elseif(NOT EXISTS "${SOURCE_DIR}/data/icons/${CMAKE_MATCH_1}.svg")
    fail("desktop entry names icon ${CMAKE_MATCH_1}, but data/icons/${CMAKE_MATCH_1}.svg is missing")
endif()

if(NOT desktop MATCHES "\nExec=brindlewood-feed-editor[ \n]")
    fail("desktop entry does not start brindlewood-feed-editor")
endif()

file(STRINGS "${SOURCE_DIR}/docs/brindlewood-feed.1" title_line REGEX "^\\.TH ")
if(NOT title_line MATCHES " ${PROJECT_VERSION}\"")
    fail("the manual page's .TH line does not name version ${PROJECT_VERSION}")
endif()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Packaging metadata:\n  ${text}")
endif()
