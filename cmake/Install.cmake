# What `cmake --install` puts where, for the targets whose directories do not install their own
# (app/ and app/lang/ do): the command line, the simulator, and the device SDK with its header.
# The programs find the SDK library and their data from their own place, so that an installed
# tree still works when moved elsewhere as a whole.
file(RELATIVE_PATH fleetset_lib_from_program ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH fleetset_data_from_program ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/fleetset)
set_property(SOURCE foundation/LangTable.cpp DIRECTORY foundation
             APPEND PROPERTY COMPILE_DEFINITIONS FLEETSET_DATA_FROM_PROGRAM="${fleetset_data_from_program}")

# Every program reports the project's version.
set_property(SOURCE cli/main.cpp DIRECTORY cli APPEND PROPERTY COMPILE_DEFINITIONS FLEETSET_VERSION="${PROJECT_VERSION}")
set_property(SOURCE sim/main.cpp DIRECTORY sim APPEND PROPERTY COMPILE_DEFINITIONS FLEETSET_VERSION="${PROJECT_VERSION}")

set(fleetset_sdk_users fleetset-cli)
if(TARGET fleetset)
  list(APPEND fleetset_sdk_users fleetset)
endif()
set_target_properties(${fleetset_sdk_users} PROPERTIES INSTALL_RPATH "$ORIGIN/${fleetset_lib_from_program}")

install(TARGETS fleetset-cli fleetset-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ovix_client LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES devsdk/ovix_client.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
