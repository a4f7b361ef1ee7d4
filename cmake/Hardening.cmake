# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags, as `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives them:
# position-independent executables (Debian's compiler makes them by default), -fstack-protector-strong,
# -Wformat -Werror=format-security, -Wdate-time, _FORTIFY_SOURCE, and the linker's -z relro -z now;
# with the stack clash protection and (on x86) the control-flow protection that Debian's newer dpkg
# adds to them. hardening-check on the packaged binary checks the result (tests/package).
#
# _FORTIFY_SOURCE is 3 where the compiler can size buffers at run time (GCC 12, Clang 16 and later),
# as Debian's dpkg asks from version 1.22: at level 2 only copies into buffers of a size known when
# compiling are checked, and the program makes none, so its binary would have no checked copy at all.
# Fortify needs the optimiser: a Debug build goes without it. Each flag is used only where the
# compiler and linker take it, so the same list serves any toolchain.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

check_pie_supported(OUTPUT_VARIABLE pie_message LANGUAGES CXX)
if(CMAKE_CXX_LINK_PIE_SUPPORTED)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
else()
    message(WARNING "Hardening: the toolchain makes no position-independent executables: ${pie_message}")
endif()

# -Werror=format-security is taken only together with -Wformat.
set(CMAKE_REQUIRED_FLAGS -Wformat)
foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection -Wformat
             -Werror=format-security -Wdate-time)
    string(MAKE_C_IDENTIFIER "CEDOLARIO_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag})
        add_compile_options(${flag})
    endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)

check_cxx_source_compiles("
int main(int argc, char**)
{
    char buffer[8];
    return static_cast<int>(__builtin_dynamic_object_size(buffer + argc, 0));
}" CEDOLARIO_HAS_DYNAMIC_OBJECT_SIZE)
if(CEDOLARIO_HAS_DYNAMIC_OBJECT_SIZE)
    set(fortify_level 3)
else()
    set(fortify_level 2)
endif()
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=${fortify_level}>)

foreach(flag LINKER:-z,relro LINKER:-z,now)
    string(MAKE_C_IDENTIFIER "CEDOLARIO_LINKS${flag}" has_flag)
    check_linker_flag(CXX ${flag} ${has_flag})
    if(${has_flag})
        add_link_options(${flag})
    endif()
endforeach()
