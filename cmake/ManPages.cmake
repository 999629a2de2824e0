# Manual pages, compressed as Debian installs them. The command-line programs'
# pages are made from their own --help and --version at build time, so they
# cannot drift from the program; the desktop program has no --help and keeps
# a written page (resources/velmora.1).
find_program(VELMORA_HELP2MAN help2man)
find_program(VELMORA_GZIP gzip REQUIRED)
if(NOT VELMORA_HELP2MAN)
  message(STATUS "help2man not found: velmora-export and velmora-holo get no manual page")
endif()

set(VELMORA_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(VELMORA_MAN_PAGES)

# velmora_man_page(TARGET "one-line description"): TARGET.1.gz from TARGET --help.
function(velmora_man_page TARGET NAME_LINE)
  if(NOT VELMORA_HELP2MAN OR NOT TARGET ${TARGET})
    return()
  endif()
  set(page ${VELMORA_MAN_DIR}/${TARGET}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_MAN_DIR}
    COMMAND ${VELMORA_HELP2MAN} --no-info --section=1 --name=${NAME_LINE}
            --source=VELMORA --output=${page} $<TARGET_FILE:${TARGET}>
    COMMAND ${VELMORA_GZIP} -9nf ${page}
    DEPENDS ${TARGET}
    COMMENT "Manual page of ${TARGET}"
    VERBATIM)
  set(VELMORA_MAN_PAGES ${VELMORA_MAN_PAGES} ${page}.gz PARENT_SCOPE)
endfunction()

velmora_man_page(velmora-export "draw a 3D model without a display and export its visible surface as points")
velmora_man_page(velmora-holo "compute holograms from VELMORA's point files")

if(TARGET velmora)
  configure_file(${PROJECT_SOURCE_DIR}/resources/velmora.1 ${VELMORA_MAN_DIR}/velmora.1 @ONLY)
  add_custom_command(OUTPUT ${VELMORA_MAN_DIR}/velmora.1.gz
    COMMAND ${VELMORA_GZIP} -9nkf ${VELMORA_MAN_DIR}/velmora.1
    DEPENDS ${VELMORA_MAN_DIR}/velmora.1
    COMMENT "Manual page of velmora"
    VERBATIM)
  list(APPEND VELMORA_MAN_PAGES ${VELMORA_MAN_DIR}/velmora.1.gz)
endif()

add_custom_target(velmora_man_pages ALL DEPENDS ${VELMORA_MAN_PAGES})
install(FILES ${VELMORA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
