# Run by `cmake --install` (and cpack): installs the files that name installed paths, rewritten
# for the prefix being installed to. They are written for the package (/usr, /etc/vorn); the
# configuration goes to /etc/vorn for the prefix /usr, else to <prefix>/etc/vorn.
# Inputs: VORN_PACKAGING_DIR (this folder), VORN_STAGING_DIR (a scratch folder of the build),
# VORN_WITH_QUILLMAR (1 when the editor was built).
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(vorn_etc "/etc/vorn")
else()
    set(vorn_etc "${CMAKE_INSTALL_PREFIX}/etc/vorn")
endif()

# Installs into several prefixes at once (tests do) must not share their rewritten files.
string(MD5 vorn_install_id "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(VORN_STAGING_DIR "${VORN_STAGING_DIR}/${vorn_install_id}")

# Installs `file` of this folder into `destination`, its package paths made the prefix's.
function(vorn_install_for_prefix file destination)
    file(READ "${VORN_PACKAGING_DIR}/${file}" text)
    string(REPLACE "/usr/" "${CMAKE_INSTALL_PREFIX}/" text "${text}")
    string(REPLACE "/etc/vorn" "${vorn_etc}" text "${text}")
    file(WRITE "${VORN_STAGING_DIR}/${file}" "${text}")
    file(INSTALL "${VORN_STAGING_DIR}/${file}" DESTINATION "${destination}" ${ARGN})
endfunction()

vorn_install_for_prefix(tarnvale.service "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
vorn_install_for_prefix(rennick.service "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
# The registry holds password hashes once accounts are made: not for everyone's eyes.
vorn_install_for_prefix(registry.ini "${vorn_etc}"
                        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
if(VORN_WITH_QUILLMAR)
    vorn_install_for_prefix(quillmar.desktop "${CMAKE_INSTALL_PREFIX}/share/applications")
endif()
# The folder of the plant files the registry names. A staged install (the Debian package)
# leaves it to the package's postinst, which gives it the group vorn: shipped in the package,
# dpkg would warn at every removal that it still holds the engineers' files.
if("$ENV{DESTDIR}" STREQUAL "")
    file(MAKE_DIRECTORY "${VORN_STAGING_DIR}/plant")
    file(INSTALL "${VORN_STAGING_DIR}/plant" DESTINATION "${vorn_etc}")
endif()
