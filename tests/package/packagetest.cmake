# Builds the package of BUILD_DIR, unpacks it under SCRATCH and checks what a user would meet first: the
# programs start from the unpacked tree and tell their version, the package declares the libraries they
# load, and the desktop parts are where the desktop looks for them.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/out ${SCRATCH}/root)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

run(cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}/out)
file(GLOB packages ${SCRATCH}/out/*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package in ${SCRATCH}/out, found: ${packages}")
endif()

run(dpkg-deb --field ${packages} Depends)
foreach(library libqt6widgets6 libcdio libc6)
    if(NOT output MATCHES "${library}")
        message(FATAL_ERROR "the package does not depend on ${library}: ${output}")
    endif()
endforeach()

if(output MATCHES "udisks2")
    message(FATAL_ERROR "the package depends on udisks2, which it only recommends: ${output}")
endif()
run(dpkg-deb --field ${packages} Recommends)
if(NOT output MATCHES "udisks2")
    message(FATAL_ERROR "the package does not recommend udisks2: ${output}")
endif()

run(dpkg -x ${packages} ${SCRATCH}/root)
set(root ${SCRATCH}/root/usr)
run(${root}/bin/ktb --version)
if(NOT output STREQUAL "ktb (Katalox) ${VERSION_TEXT}\n")
    message(FATAL_ERROR "ktb --version printed: ${output}")
endif()
run(${root}/bin/katalox --version)
if(NOT output STREQUAL "Katalox ${VERSION_TEXT}\n")
    message(FATAL_ERROR "katalox --version printed: ${output}")
endif()

foreach(part
        bin/katalox-statistics
        bin/katalox-compare
        bin/katalox-export
        share/applications/katalox.desktop
        share/mime/packages/katalox.xml
        share/metainfo/io.github.katalox.katalox.metainfo.xml
        share/icons/hicolor/scalable/apps/katalox.svg
        share/man/man1/katalox.1.gz
        share/man/man1/ktb.1.gz
        share/bash-completion/completions/ktb
        share/doc/katalox/copyright)
    if(NOT EXISTS ${root}/${part})
        message(FATAL_ERROR "the package has no /usr/${part}")
    endif()
endforeach()
find_program(APPSTREAMCLI appstreamcli REQUIRED)
run(${APPSTREAMCLI} validate --no-net --strict ${root}/share/metainfo/io.github.katalox.katalox.metainfo.xml)
file(REMOVE_RECURSE ${SCRATCH})
