# SPDX-License-Identifier: MIT
# The hardening that Debian's dpkg-buildflags gives a package, for every build of the project, so
# that a plain `cmake --build` is as well protected as the package.

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
add_link_options(LINKER:-z,relro,-z,now)

# glibc's fortified calls need the optimizer: without it glibc only warns, and warnings are errors
# in the test build. A build without a build type is optimized only when its flags say so, as a
# Debian package build's do. Undefining first keeps a level chosen by the flags (dpkg-buildflags
# puts one there) from being redefined with a warning.
set(_ringlo_fortify_flags -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
if(CMAKE_BUILD_TYPE STREQUAL "" OR CMAKE_BUILD_TYPE STREQUAL "None")
    if(CMAKE_CXX_FLAGS MATCHES "(^| )-O([1-3sgz]|fast)?( |$)")
        add_compile_options(${_ringlo_fortify_flags})
    endif()
else()
    add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${_ringlo_fortify_flags}>")
endif()
