# The native tools that the Windows presets run at build time (the package tool packs the two
# packages; further tools compile data into the program), built once in a native tree of their own.
# Every directory that includes this file gets the tool paths; the tree is declared once.
set(UINST_HOST_TOOLS ${CMAKE_BINARY_DIR}/host-tools)
set(IPK ${UINST_HOST_TOOLS}/bin/ipk)
set(SKINC ${UINST_HOST_TOOLS}/bin/skinc)
if(TARGET host_tools)
    return()
endif()
include(ExternalProject)
set(UINST_HOST_TOOL_TARGETS ipk skinc)
set(UINST_HOST_TOOL_BYPRODUCTS ${IPK} ${SKINC})
ExternalProject_Add(host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${UINST_HOST_TOOLS}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DUINST_HOST_TOOLS_ONLY=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${UINST_HOST_TOOL_TARGETS}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${UINST_HOST_TOOL_BYPRODUCTS})
