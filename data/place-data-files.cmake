# Copies the shipped text files beside the program, each only when that file
# is not there yet, so rebuilding never overwrites what the user edited.
foreach(name SkyvaneLatLong_Setup.txt FullMoonTable.txt)
  if(NOT EXISTS "${DEST_DIR}/${name}")
    file(COPY "${SOURCE_DIR}/${name}" DESTINATION "${DEST_DIR}")
  endif()
endforeach()
