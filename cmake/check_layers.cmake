# Keeps the layering: nothing below the entry points (cli/, desktop/) and the device composition
# (devices/) includes the Qt or PortAudio implementations; they reach the core only through the
# platform/ interfaces. And the device composition never reaches up into the application: both
# meet in the platform/ interfaces. Run by CTest as `cmake -DSOURCE_DIR=... -P check_layers.cmake`.
set(core_folders app sequencer mls views analysis field exports balloon calibration turntable output)

# Lines of the .h and .cpp files under folder that include a path matching pattern, as
# "file: line" in the list named by out.
function(find_includes folder pattern out)
  set(hits_found "")
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(f ${files})
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${pattern})")
    foreach(hit ${hits})
      file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
      string(STRIP "${hit}" hit)
      list(APPEND hits_found "${rel}: ${hit}")
    endforeach()
  endforeach()
  set(${out} "${hits_found}" PARENT_SCOPE)
endfunction()

set(offenders "")
foreach(folder ${core_folders})
  find_includes(${folder} "platform/qt/|platform/portaudio/|Q[A-Za-z]+[>\"]|portaudio\\.h" hits)
  list(APPEND offenders ${hits})
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Qt or PortAudio included below the entry points:\n  ${text}")
endif()
find_includes(devices "app/" upward)
if(upward)
  list(JOIN upward "\n  " text)
  message(FATAL_ERROR "devices/ includes the application above it:\n  ${text}")
endif()
message(STATUS "layering: ${core_folders} include neither Qt nor PortAudio; devices/ includes nothing of app/")
