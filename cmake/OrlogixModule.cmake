# orlogix_module(name dir deps...): a static library made of every .cpp below
# dir (subfolders included, except the families' codec files, which
# orlogix_family takes); an interface library while the folder has no sources
# yet.
#
# Each area sees only the areas it links: its include root is a folder of the
# build tree that holds links to its own area and to the areas of its
# orlogix_* dependencies (and theirs), not the whole of src. An include of an
# area the library does not link ("analysis/..." in formats) finds no file and
# fails the build.
# The include root of library name: links to the given areas and to those of
# its orlogix_* dependencies; set as ORLOGIX_ROOT in the caller.
function(orlogix_area_root name areas)
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      get_target_property(dep_areas ${dep} ORLOGIX_AREAS)
      if(dep_areas)
        list(APPEND areas ${dep_areas})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES areas)

  set(root ${CMAKE_BINARY_DIR}/areas/${name})
  file(MAKE_DIRECTORY ${root})
  # Links only: never remove recursively here, the links lead into src.
  file(GLOB old_links RELATIVE ${root} LIST_DIRECTORIES true ${root}/*)
  foreach(old IN LISTS old_links)
    if(NOT old IN_LIST areas)
      file(REMOVE ${root}/${old})
    endif()
  endforeach()
  foreach(a IN LISTS areas)
    if(NOT EXISTS ${root}/${a})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${a} ${root}/${a} SYMBOLIC)
    endif()
  endforeach()
  set(ORLOGIX_ROOT ${root} PARENT_SCOPE)
  set(ORLOGIX_ROOT_AREAS "${areas}" PARENT_SCOPE)
endfunction()

function(orlogix_module name dir)
  get_filename_component(area ${dir} NAME)
  orlogix_area_root(${name} ${area} ${ARGN})
  set(root ${ORLOGIX_ROOT})
  set(areas ${ORLOGIX_ROOT_AREAS})

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  get_property(codec_sources GLOBAL PROPERTY ORLOGIX_CODEC_SOURCES)
  if(codec_sources)
    list(REMOVE_ITEM sources ${codec_sources})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${root})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
  set_target_properties(${name} PROPERTIES ORLOGIX_AREAS "${areas}")
endfunction()

# orlogix_family(name files... [DEPENDS libs...]): the pure codec of the
# instrument family in src/protocols/<name>/ (the files named: wire format,
# records, no I/O) as its own library, orlogix_<name>_codec, linking the core
# and the libraries after DEPENDS. The jobs, the simulator and the fuzz
# targets link it; the folder's other files (its jobs) go into
# orlogix_protocols. Call it before the other libraries.
function(orlogix_family name)
  cmake_parse_arguments(PARSE_ARGV 1 family "" "" "DEPENDS")
  set(sources)
  foreach(file IN LISTS family_UNPARSED_ARGUMENTS)
    list(APPEND sources ${CMAKE_SOURCE_DIR}/src/protocols/${name}/${file})
  endforeach()
  add_library(orlogix_${name}_codec STATIC ${sources})
  # The codec sees the core, the protocols folder it lives in, and what it depends on.
  orlogix_area_root(orlogix_${name}_codec "protocols;core" ${family_DEPENDS})
  target_include_directories(orlogix_${name}_codec PUBLIC ${ORLOGIX_ROOT})
  target_link_libraries(orlogix_${name}_codec PUBLIC orlogix_core ${family_DEPENDS})
  set_target_properties(orlogix_${name}_codec PROPERTIES ORLOGIX_AREAS "${ORLOGIX_ROOT_AREAS}")
  set_property(GLOBAL APPEND PROPERTY ORLOGIX_CODEC_SOURCES ${sources})
  set_property(GLOBAL APPEND PROPERTY ORLOGIX_CODECS orlogix_${name}_codec)
endfunction()
