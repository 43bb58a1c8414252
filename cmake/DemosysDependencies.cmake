# What the engine's static libraries link against, found for the engine's own build and
# again by the installed DemosysConfig.cmake for every project that links them: a static
# library carries none of its dependencies. Add a dependency here, once, for both.
#
# With DEMOSYS_FIND_FOR_PACKAGE set (the installed config), a missing dependency makes
# find_package(Demosys) report it and fail; otherwise it stops the configure step.
include(CMakeFindDependencyMacro)

macro(_demosys_find_package)
  if(DEMOSYS_FIND_FOR_PACKAGE)
    find_dependency(${ARGN})
  else()
    find_package(${ARGN} REQUIRED)
  endif()
endmacro()

# pkg-config modules, as imported targets PkgConfig::<prefix> (the prefixes are part of
# the exported link interface).
macro(_demosys_find_module prefix module)
  if(DEMOSYS_FIND_FOR_PACKAGE)
    pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${module})
    if(NOT ${prefix}_FOUND)
      set(Demosys_NOT_FOUND_MESSAGE "the pkg-config module '${module}' that the engine links was not found")
      set(Demosys_FOUND FALSE)
      return()
    endif()
  else()
    pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${module})
  endif()
endmacro()

# A library and its header found directly, as the imported target Demosys::<name>, for
# packages whose Debian CMake files name programs that are not installed with them.
macro(_demosys_find_directly name header library missing)
  string(TOUPPER ${name} _demosys_upper)
  find_path(DEMOSYS_${_demosys_upper}_INCLUDE_DIR ${header})
  find_library(DEMOSYS_${_demosys_upper}_LIBRARY ${library})
  if(NOT DEMOSYS_${_demosys_upper}_INCLUDE_DIR OR NOT DEMOSYS_${_demosys_upper}_LIBRARY)
    if(DEMOSYS_FIND_FOR_PACKAGE)
      set(Demosys_NOT_FOUND_MESSAGE "${missing}")
      set(Demosys_FOUND FALSE)
      return()
    endif()
    message(FATAL_ERROR "${missing}")
  endif()
  if(NOT TARGET Demosys::${name})
    add_library(Demosys::${name} UNKNOWN IMPORTED)
    set_target_properties(Demosys::${name} PROPERTIES IMPORTED_LOCATION ${DEMOSYS_${_demosys_upper}_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${DEMOSYS_${_demosys_upper}_INCLUDE_DIR})
  endif()
endmacro()

if(NOT DEFINED OpenGL_GL_PREFERENCE)
  set(OpenGL_GL_PREFERENCE GLVND)
endif()

# The engine (Demosys::demosys): window and context, GL, maths, archives, images,
# MP3 decoding, audio output, the spectrum's FFT and the VP8 decoder.
_demosys_find_package(PkgConfig)
# EGL: the offscreen context of offline rendering, which needs no display.
_demosys_find_package(OpenGL COMPONENTS OpenGL EGL)
_demosys_find_package(glfw3 3.3)
_demosys_find_package(GLEW)
_demosys_find_package(glm)
_demosys_find_package(LibArchive)
_demosys_find_package(LibLZMA)
_demosys_find_module(DEMOSYS_IL IL)
_demosys_find_module(DEMOSYS_MPG123 libmpg123)
_demosys_find_module(DEMOSYS_SDL sdl)
_demosys_find_module(DEMOSYS_KISSFFT kissfft-float)
_demosys_find_module(DEMOSYS_VPX vpx)

# The tools' shared code (Demosys::demosys_tools): PNG files, text in pictures, scene
# import.
_demosys_find_package(PNG)
_demosys_find_package(Freetype)
_demosys_find_package(assimp CONFIG)
# The timeline editor's JSON API.
_demosys_find_package(nlohmann_json 3)

# The tools' command lines (header-only; the programs are built with the engine alone,
# so a project that links the package does not need it).
if(NOT DEMOSYS_FIND_FOR_PACKAGE)
  find_package(CLI11 2 REQUIRED)
endif()

# The programs around a production (Demosys::demosys_app): the setup dialog is FLTK, whose
# Debian CMake package names a fluid program that is not installed with the library, so
# the library and headers are found directly; SDL lists the screen modes it offers.
_demosys_find_directly(fltk FL/Fl.H fltk "FLTK, which the setup dialog uses, was not found (libfltk1.3-dev)")
_demosys_find_package(X11)
# The timeline editor's web server (edit mode's --web): HTTP and WebSocket. Debian's CMake
# package names a server program that is not installed with the library (as FLTK's does),
# so the library and header are found directly.
_demosys_find_directly(civetweb civetweb.h civetweb
  "civetweb, the timeline editor's web server, was not found (libcivetweb-dev)")
