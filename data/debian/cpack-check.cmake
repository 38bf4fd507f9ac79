# Read by cpack as it makes a package: a package for a site names the one who maintains it there.
if(CPACK_PACKAGE_CONTACT MATCHES "@example\\.org>$")
    message(WARNING "The package names the placeholder maintainer ${CPACK_PACKAGE_CONTACT}; configure with "
                    "-DQUORLAN_MAINTAINER=\"Name <address>\" (or DEBFULLNAME and DEBEMAIL set) for a package "
                    "that leaves the building.")
endif()
