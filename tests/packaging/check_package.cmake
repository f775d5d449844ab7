cmake_minimum_required(VERSION 3.25)
# Builds the Debian package of this build and reads it back: the programs, units, error texts,
# Quillmar's desktop entry, the registry as a conffile naming the installed layout's files, the
# maintainer scripts that make the user "vorn" in group dialout, hand the plant folder to the
# group vorn and never enable a unit. (tests/packaging/install_in_chroot.sh installs it for
# real.)
#   cmake -DBUILD_DIR=<build> -DWORK_DIR=<dir> -P check_package.cmake
find_program(DPKG_DEB dpkg-deb REQUIRED)
get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
find_program(CPACK cpack HINTS "${cmake_bin}" REQUIRED)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${result}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CPACK} -G DEB -B "${WORK_DIR}" --config "${BUILD_DIR}/CPackConfig.cmake")
file(GLOB packages "${WORK_DIR}/*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${packages}")
endif()

set(problems "")
run(${DPKG_DEB} -c ${packages})
foreach(path ./usr/bin/Tarnvale ./usr/bin/Rennick ./usr/bin/Quillmar ./usr/bin/vorn-users
        ./usr/lib/systemd/system/tarnvale.service ./usr/lib/systemd/system/rennick.service
        ./usr/share/vorn/Tarnvale.dat ./usr/share/vorn/Rennick.dat ./etc/vorn/registry.ini
        ./usr/share/doc/vorn/README.md
        ./usr/share/applications/quillmar.desktop
        ./usr/share/icons/hicolor/scalable/apps/quillmar.svg)
    string(FIND "${out}" " ${path}\n" at)
    if(at EQUAL -1)
        list(APPEND problems "contents lack ${path}")
    endif()
endforeach()
string(FIND "${out}" "multi-user.target.wants" enabled)
if(NOT enabled EQUAL -1)
    list(APPEND problems "a unit is enabled by the package")
endif()

# The installed registry names the plant files and the PKI folders of the installed layout, and
# the units run the programs where the package puts them.
run(${DPKG_DEB} -x ${packages} "${WORK_DIR}/root")
file(READ "${WORK_DIR}/root/etc/vorn/registry.ini" registry)
foreach(needed "ConfigFile=/etc/vorn/plant/Tarnvale.xml\n" "PkiFolder=/var/lib/vorn/pki/Tarnvale\n"
        "ConfigFile=/etc/vorn/plant/Rennick.xml\n" "PkiFolder=/var/lib/vorn/pki/Rennick\n")
    string(FIND "${registry}" "${needed}" at)
    if(at EQUAL -1)
        list(APPEND problems "the registry lacks \"${needed}\"")
    endif()
endforeach()
file(READ "${WORK_DIR}/root/usr/lib/systemd/system/rennick.service" unit)
foreach(needed "ExecStart=/usr/bin/Rennick\n" "Environment=VORN_REGISTRY=/etc/vorn/registry.ini\n"
        "LogsDirectory=vorn\n")
    string(FIND "${unit}" "${needed}" at)
    if(at EQUAL -1)
        list(APPEND problems "rennick.service lacks \"${needed}\"")
    endif()
endforeach()

run(${DPKG_DEB} -e ${packages} "${WORK_DIR}/control")
file(READ "${WORK_DIR}/control/conffiles" conffiles)
if(NOT conffiles STREQUAL "/etc/vorn/registry.ini\n")
    list(APPEND problems "conffiles is \"${conffiles}\"")
endif()
file(READ "${WORK_DIR}/control/postinst" postinst)
foreach(needed "adduser --system --group" "adduser vorn dialout"
        "install -d -o root -g vorn -m 2775 /etc/vorn/plant")
    string(FIND "${postinst}" "${needed}" at)
    if(at EQUAL -1)
        list(APPEND problems "postinst lacks \"${needed}\"")
    endif()
endforeach()
foreach(script postinst prerm postrm)
    file(READ "${WORK_DIR}/control/${script}" text)
    string(FIND "${text}" "systemctl enable" at)
    if(NOT at EQUAL -1)
        list(APPEND problems "${script} enables a unit")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
if(problems)
    string(REPLACE ";" "\n" problems "${problems}")
    message(FATAL_ERROR "${problems}")
endif()
