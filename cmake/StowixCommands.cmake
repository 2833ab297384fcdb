# The commands on the user's PATH, each with its manual page. A command is added to the install,
# the package, the manual and the tests of the shared options by one line beside its
# add_executable, with its page written in doc/man/<command>.1.scd:
#   stowix_command(stowix-check USAGE_STATUS 2)
# USAGE_STATUS is the status of a command line the command cannot take (1, as the exit-status
# table has it, unless the command follows a convention of its own); IN_PROGRAM_FOLDER installs
# the program in the program folder beside its media files, with a link to it in the bin folder.
# The commands and their usage statuses are kept in the global property STOWIX_COMMANDS
# ("name=status" items) for the tests.

find_program(STOWIX_SCDOC scdoc REQUIRED)
find_program(STOWIX_GZIP gzip REQUIRED)

# The release is the latest entry of the package's change log (packaging/changelog): its
# version must be the project's, and its date dates the manual pages (not the day of the build)
# and the AppStream release.
set(STOWIX_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                                    ${STOWIX_CHANGELOG})
file(STRINGS ${STOWIX_CHANGELOG} STOWIX_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT STOWIX_CHANGELOG_TOP MATCHES "^stowix \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with an entry for ${PROJECT_VERSION}: "
                      "add one for this version")
endif()
file(STRINGS ${STOWIX_CHANGELOG} STOWIX_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" STOWIX_CHANGELOG_DATE "${STOWIX_CHANGELOG_TRAILER}")
execute_process(COMMAND date -u -d "${STOWIX_CHANGELOG_DATE}" +%s
                OUTPUT_VARIABLE STOWIX_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u -d "@${STOWIX_RELEASE_EPOCH}" +%F
                OUTPUT_VARIABLE STOWIX_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

function(stowix_command target)
  cmake_parse_arguments(ARG "IN_PROGRAM_FOLDER" "USAGE_STATUS" "" ${ARGN})
  if(NOT DEFINED ARG_USAGE_STATUS)
    set(ARG_USAGE_STATUS 1)
  endif()

  if(ARG_IN_PROGRAM_FOLDER)
    install(TARGETS ${target} RUNTIME DESTINATION ${STOWIX_PROGRAM_DIR})
    # The link is resolved back to the program folder when the program starts.
    install(CODE "
      set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(MAKE_DIRECTORY \"\${bindir}\")
      file(RELATIVE_PATH target \"\${bindir}\"
           \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${STOWIX_PROGRAM_DIR}/${target}\")
      file(CREATE_LINK \"\${target}\" \"\${bindir}/${target}\" SYMBOLIC)
    ")
  else()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()

  set(source ${PROJECT_SOURCE_DIR}/doc/man/${target}.1.scd)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "The command ${target} has no manual page: write ${source}")
  endif()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  add_custom_command(
    OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${STOWIX_RELEASE_EPOCH}
            sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9nc \"$2\" > \"$2.gz\""
            ${STOWIX_SCDOC} ${source} ${page} ${STOWIX_GZIP}
    DEPENDS ${source}
    COMMENT "Writing the manual page of ${target}"
    VERBATIM
  )
  add_custom_target(${target}_manual_page ALL DEPENDS ${page} ${page}.gz)
  add_dependencies(${target} ${target}_manual_page)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set_property(GLOBAL APPEND PROPERTY STOWIX_COMMANDS "${target}=${ARG_USAGE_STATUS}")
endfunction()
