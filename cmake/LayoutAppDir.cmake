# Lays out a runnable application folder: copies each default folder that is
# missing in DEST from SRC. An existing folder is never touched, so a build
# never overwrites the data a developer works with.
set(fresh_data OFF)
foreach(sub daten vorlagen help)
    if(EXISTS "${SRC}/${sub}" AND NOT EXISTS "${DEST}/${sub}")
        file(COPY "${SRC}/${sub}" DESTINATION "${DEST}")
        file(REMOVE "${DEST}/${sub}/.keep")
        if(sub STREQUAL "daten")
            set(fresh_data ON)
        endif()
    endif()
endforeach()
# Files the installation supplies and the program only reads are added to an
# existing data folder when they are missing there (never replaced).
foreach(file daten/velmora.rav)
    if(EXISTS "${SRC}/${file}" AND EXISTS "${DEST}/daten" AND NOT EXISTS "${DEST}/${file}")
        get_filename_component(dir "${DEST}/${file}" DIRECTORY)
        file(COPY "${SRC}/${file}" DESTINATION "${dir}")
    endif()
endforeach()
# A freshly laid-out data folder gets an empty table, made by the program's own
# store code.
if(fresh_data AND MKDATA)
    execute_process(COMMAND "${MKDATA}" "${DEST}/daten" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE_RECURSE "${DEST}/daten")
        message(FATAL_ERROR "creating the empty address table failed")
    endif()
endif()
