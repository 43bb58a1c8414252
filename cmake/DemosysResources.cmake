# demosys_add_resources(): a production's resources/ tree and resources.7z, built from its
# sources by build rules, so that a change to any source redoes what depends on it.
#
#   demosys_add_resources(<name>
#     [OUTPUT_DIRECTORY <dir>]    the tree is <dir>/resources, the archive <dir>/resources.7z
#                                 (default: the current build directory, where the
#                                 production's program runs from)
#     [SHADERS <file>...]         copied to shaders/, with the engine's loading-screen pair
#                                 (default_Progress.vert/.frag) unless the list has its own
#     [SCENES <file>|<name>.vbo=<file> ...]
#                                 converted by demosys-vbo to objects/<stem>.vbo (or <name>.vbo);
#                                 an OBJ's material libraries and a glTF file's buffers are
#                                 dependencies too
#     [SYNC <script>]             compiled by demosys-tracks into tracks/
#     [SOUND|GRAPHICS|MISC|VIDEO <file>...]
#                                 copied to sound/, graphics/, misc/, video/
#     [GENERATED <file>...]       files that other rules of this directory write into the
#                                 tree (paths relative to the tree, or absolute)
#     [DEPENDS <target>...]       targets that must run first (those that write GENERATED files)
#     [NO_DEFAULT_SHADERS] [NO_ARCHIVE])
#
# Makes the custom target <name> (part of "all") with the properties DEMOSYS_RESOURCE_DIR
# and DEMOSYS_ARCHIVE, and <name>_tree that makes the tree without packing it (with
# NO_ARCHIVE, <name> alone makes the tree). Relative source paths are relative to the current source directory.
# The archive is non-solid (each entry can be read alone) at the highest level, made anew
# from exactly the files above, so nothing stale left in the tree gets in.
include_guard(GLOBAL)
# The functions keep the policies of their definition, whatever the calling project sets.
cmake_policy(VERSION 3.25)

# The engine's own shaders: DEMOSYS_SHADER_DIR is set by whoever includes this file (the
# engine's CMakeLists.txt or the installed package's config). Kept in a global property,
# as the function runs in the caller's scope, which may not see the includer's variables.
if(NOT DEMOSYS_SHADER_DIR OR NOT EXISTS "${DEMOSYS_SHADER_DIR}/default_Progress.vert")
  message(FATAL_ERROR "DemosysResources.cmake: DEMOSYS_SHADER_DIR does not hold the engine's shaders")
endif()
set_property(GLOBAL PROPERTY DEMOSYS_DEFAULT_SHADERS
  "${DEMOSYS_SHADER_DIR}/default_Progress.vert" "${DEMOSYS_SHADER_DIR}/default_Progress.frag")
# The timeline editor's page (edit mode's --web), from DEMOSYS_WEB_DIR: into every tree's
# web/, never into the archive (a played demo does not serve it).
if(DEMOSYS_WEB_DIR AND EXISTS "${DEMOSYS_WEB_DIR}/index.html")
  file(GLOB _demosys_web_files CONFIGURE_DEPENDS "${DEMOSYS_WEB_DIR}/*.html" "${DEMOSYS_WEB_DIR}/*.js"
    "${DEMOSYS_WEB_DIR}/*.css" "${DEMOSYS_WEB_DIR}/*.svg")
  set_property(GLOBAL PROPERTY DEMOSYS_WEB_FILES "${_demosys_web_files}")
endif()

# One copy rule per file into SUBDIR of the tree; appends to the caller's outputs.
function(_demosys_copy_files tree subdir)
  foreach(source ${ARGN})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    cmake_path(GET source FILENAME name)
    set(copy "${tree}/${subdir}/${name}")
    if(copy IN_LIST outputs)
      message(FATAL_ERROR "demosys_add_resources: two files would be ${subdir}/${name}")
    endif()
    add_custom_command(OUTPUT "${copy}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${tree}/${subdir}"
      COMMAND ${CMAKE_COMMAND} -E copy "${source}" "${copy}"
      DEPENDS "${source}"
      VERBATIM)
    list(APPEND outputs "${copy}")
  endforeach()
  set(outputs "${outputs}" PARENT_SCOPE)
endfunction()

# The files a scene's converter reads besides the scene itself: an OBJ's "mtllib" files,
# a glTF file's external buffers. The scene is a configure dependency, so a new reference
# is picked up.
function(_demosys_scene_inputs source result)
  set(inputs "")
  cmake_path(GET source PARENT_PATH dir)
  cmake_path(GET source EXTENSION LAST_ONLY extension)
  string(TOLOWER "${extension}" extension)
  if(extension STREQUAL ".obj")
    file(STRINGS "${source}" lines REGEX "^[ \t]*mtllib[ \t]")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*mtllib[ \t]+" "" names "${line}")
      separate_arguments(names UNIX_COMMAND "${names}")
      foreach(name ${names})
        list(APPEND inputs "${dir}/${name}")
      endforeach()
    endforeach()
  elseif(extension STREQUAL ".gltf")
    file(READ "${source}" json)
    string(JSON count ERROR_VARIABLE error LENGTH "${json}" buffers)
    if(NOT error AND count GREATER 0)
      math(EXPR last "${count} - 1")
      foreach(i RANGE ${last})
        string(JSON uri ERROR_VARIABLE error GET "${json}" buffers ${i} uri)
        if(NOT error AND NOT uri MATCHES "^data:")
          list(APPEND inputs "${dir}/${uri}")
        endif()
      endforeach()
    endif()
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  set(${result} "${inputs}" PARENT_SCOPE)
endfunction()

function(demosys_add_resources name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_DEFAULT_SHADERS;NO_ARCHIVE" "OUTPUT_DIRECTORY;SYNC"
    "SHADERS;SCENES;SOUND;GRAPHICS;MISC;VIDEO;GENERATED;DEPENDS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "demosys_add_resources: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}")
  if(arg_OUTPUT_DIRECTORY)
    set(out "${arg_OUTPUT_DIRECTORY}")
    cmake_path(ABSOLUTE_PATH out BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  endif()
  set(tree "${out}/resources")
  set(outputs "")

  # Shaders: the production's, then the engine's defaults it does not replace.
  set(shaders ${arg_SHADERS})
  if(NOT arg_NO_DEFAULT_SHADERS)
    set(names "")
    foreach(shader ${shaders})
      cmake_path(GET shader FILENAME shader_name)
      list(APPEND names "${shader_name}")
    endforeach()
    get_property(defaults GLOBAL PROPERTY DEMOSYS_DEFAULT_SHADERS)
    foreach(default ${defaults})
      cmake_path(GET default FILENAME default_name)
      if(NOT default_name IN_LIST names)
        list(APPEND shaders "${default}")
      endif()
    endforeach()
  endif()
  _demosys_copy_files("${tree}" shaders ${shaders})
  _demosys_copy_files("${tree}" sound ${arg_SOUND})
  _demosys_copy_files("${tree}" graphics ${arg_GRAPHICS})
  _demosys_copy_files("${tree}" misc ${arg_MISC})
  _demosys_copy_files("${tree}" video ${arg_VIDEO})

  foreach(scene ${arg_SCENES})
    if(scene MATCHES "^([^=/]+\\.vbo)=(.+)$")
      set(object "${CMAKE_MATCH_1}")
      set(source "${CMAKE_MATCH_2}")
    else()
      set(source "${scene}")
      cmake_path(GET source STEM LAST_ONLY object)
      string(APPEND object ".vbo")
    endif()
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    set(output "${tree}/objects/${object}")
    if(output IN_LIST outputs)
      message(FATAL_ERROR "demosys_add_resources: two scenes would be objects/${object}")
    endif()
    _demosys_scene_inputs("${source}" inputs)
    add_custom_command(OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${tree}/objects"
      COMMAND Demosys::demosys-vbo "${source}" "${output}"
      DEPENDS "${source}" ${inputs} Demosys::demosys-vbo
      COMMENT "Converting ${scene} to resources/objects/${object}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()

  if(arg_SYNC)
    set(script "${arg_SYNC}")
    cmake_path(ABSOLUTE_PATH script BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    set(tracks "${tree}/tracks/index.list" "${tree}/tracks/track.data")
    add_custom_command(OUTPUT ${tracks} "${tree}/tracks/track.properties"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${tree}/tracks"
      COMMAND Demosys::demosys-tracks compile "${script}" "${tree}/tracks"
      DEPENDS "${script}" Demosys::demosys-tracks
      COMMENT "Compiling ${arg_SYNC} into resources/tracks"
      VERBATIM)
    list(APPEND outputs ${tracks})
  endif()

  foreach(file ${arg_GENERATED})
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${tree}" NORMALIZE)
    cmake_path(IS_PREFIX tree "${file}" NORMALIZE inside)
    if(NOT inside)
      message(FATAL_ERROR "demosys_add_resources: ${file} is not inside ${tree}")
    endif()
    list(APPEND outputs "${file}")
  endforeach()

  # The editor's page: in the tree, kept out of the archive's list.
  set(archived "${outputs}")
  set(outputs "")
  get_property(page GLOBAL PROPERTY DEMOSYS_WEB_FILES)
  _demosys_copy_files("${tree}" web ${page})
  set(page_outputs "${outputs}")
  set(outputs "${archived}")

  set(archive "${out}/resources.7z")
  if(arg_NO_ARCHIVE)
    add_custom_target(${name} ALL DEPENDS ${outputs} ${page_outputs})
    if(arg_DEPENDS)
      add_dependencies(${name} ${arg_DEPENDS})
    endif()
  else()
    find_program(DEMOSYS_SEVENZIP NAMES 7z 7za)
    if(NOT DEMOSYS_SEVENZIP)
      message(FATAL_ERROR "demosys_add_resources: packing the archive needs 7z (Debian: p7zip-full)")
    endif()
    # The tree alone, then the archive once the tree is complete.
    add_custom_target(${name}_tree ALL DEPENDS ${outputs} ${page_outputs})
    if(arg_DEPENDS)
      add_dependencies(${name}_tree ${arg_DEPENDS})
    endif()
    # Entries in the order the loading stages ask for them: the reader decodes the archive
    # front to back and keeps what it passes until it is asked for.
    set(listed "")
    foreach(folder shaders objects graphics misc video tracks sound "")
      foreach(file ${outputs})
        cmake_path(RELATIVE_PATH file BASE_DIRECTORY "${out}")
        if(NOT file IN_LIST listed AND (folder STREQUAL "" OR file MATCHES "^resources/${folder}/"))
          list(APPEND listed "${file}")
        endif()
      endforeach()
    endforeach()
    list(JOIN listed "\n" list_text)
    set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${name}.7z.files")
    file(GENERATE OUTPUT "${list_file}" CONTENT "${list_text}\n")
    add_custom_command(OUTPUT "${archive}"
      COMMAND ${CMAKE_COMMAND} -E rm -f "${archive}"
      COMMAND "${DEMOSYS_SEVENZIP}" a -bd -bso0 -ms=off -mx=9 "${archive}" "@${list_file}"
      DEPENDS ${outputs} "${list_file}" ${name}_tree
      WORKING_DIRECTORY "${out}"
      COMMENT "Packing ${archive}"
      VERBATIM)
    add_custom_target(${name} ALL DEPENDS "${archive}")
    add_dependencies(${name} ${name}_tree)
  endif()
  set_target_properties(${name} PROPERTIES DEMOSYS_RESOURCE_DIR "${tree}" DEMOSYS_ARCHIVE "${archive}")
endfunction()
