# Installs the build into a staging root through DESTDIR, the way a package
# build does, and checks that every file lands where the desktop and the
# editor look for it.
#   cmake -DBUILD_DIR=... -DSTAGE_DIR=... -DAPP_ID=... -DPROJECT_VERSION=...
#         -DEXECUTABLES=... -DBINDIR=... -DDATADIR=... -DMANDIR=... -P CheckInstall.cmake

cmake_minimum_required(VERSION 3.25)

set(prefix "/usr")
set(root "${STAGE_DIR}${prefix}")
file(REMOVE_RECURSE "${STAGE_DIR}")

set(ENV{DESTDIR} "${STAGE_DIR}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
unset(ENV{DESTDIR})
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
    "${DATADIR}/brindlewood-feed-editor/Samples/Podcast.xml"
    "${DATADIR}/applications/brindlewood-feed-editor.desktop"
    "${DATADIR}/metainfo/${APP_ID}.metainfo.xml"
    "${DATADIR}/icons/hicolor/scalable/apps/brindlewood-feed-editor.svg")
foreach(size 16 32 48 64 128 256)
    list(APPEND expected "${DATADIR}/icons/hicolor/${size}x${size}/apps/brindlewood-feed-editor.png")
endforeach()
foreach(executable IN LISTS EXECUTABLES)
    list(APPEND expected "${BINDIR}/${executable}")
endforeach()

set(missing "")
foreach(file IN LISTS expected)
    if(NOT EXISTS "${root}/${file}")
        list(APPEND missing "${file}")
    endif()
endforeach()

# Gzipped where gzip is found at configure time, plain otherwise.
if(NOT EXISTS "${root}/${MANDIR}/man1/brindlewood-feed.1.gz"
        AND NOT EXISTS "${root}/${MANDIR}/man1/brindlewood-feed.1")
    list(APPEND missing "${MANDIR}/man1/brindlewood-feed.1.gz")
endif()

# The editor finds its application folder through the path compiled into it;
# the installed sample has to be exactly there.
file(STRINGS "${BUILD_DIR}/src/generated/BuildConfig.h" line REGEX "RelativeDataDir\\[\\] = ")
if(NOT line MATCHES "= \"([^\"]*)\"")
    message(FATAL_ERROR "no RelativeDataDir in BuildConfig.h")
endif()
set(samples "${root}/${BINDIR}/${CMAKE_MATCH_1}/Samples/Podcast.xml")
if(NOT EXISTS "${samples}")
    list(APPEND missing "the sample where the editor looks for it (${samples})")
endif()

if(missing)
    list(JOIN missing "\n  " text)
    file(GLOB_RECURSE installed RELATIVE "${root}" "${root}/*")
    list(JOIN installed "\n  " installed_text)
    message(FATAL_ERROR "Not installed:\n  ${text}\nInstalled:\n  ${installed_text}")
endif()

# The installed command runs from its new place.
if("brindlewood-feed" IN_LIST EXECUTABLES)
    execute_process(
        COMMAND "${root}/${BINDIR}/brindlewood-feed" --version
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT output MATCHES "${PROJECT_VERSION}")
        message(FATAL_ERROR "installed brindlewood-feed --version gave ${result}:\n${output}")
    endif()
endif()
