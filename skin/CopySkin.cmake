# Makes DEST hold exactly the skin in SOURCE: its pages, style sheets and res/ files are copied
# where they changed, and what the skin no longer has is removed, so neither the build folder
# nor an update package made from it keeps a file the pages dropped.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE skin RELATIVE ${SOURCE} ${SOURCE}/*.htm ${SOURCE}/*.css ${SOURCE}/res/*)
file(GLOB_RECURSE present RELATIVE ${DEST} ${DEST}/*)
foreach(file IN LISTS present)
  if(NOT file IN_LIST skin)
    file(REMOVE ${DEST}/${file})
  endif()
endforeach()
foreach(file IN LISTS skin)
  get_filename_component(folder ${DEST}/${file} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(COPY_FILE ${SOURCE}/${file} ${DEST}/${file} ONLY_IF_DIFFERENT)
endforeach()
