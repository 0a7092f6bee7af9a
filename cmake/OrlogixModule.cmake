# orlogix_module(name dir deps...): a static library made of every .cpp below
# dir (subfolders included); an interface library while the folder has no
# sources yet.
#
# Each area sees only the areas it links: its include root is a folder of the
# build tree that holds links to its own area and to the areas of its
# orlogix_* dependencies (and theirs), not the whole of src. An include of an
# area the library does not link ("analysis/..." in formats) finds no file and
# fails the build.
function(orlogix_module name dir)
  get_filename_component(area ${dir} NAME)
  set(areas ${area})
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

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
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
