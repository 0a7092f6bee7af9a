# orlogix_module(name dir deps...): a static library made of every .cpp below
# dir (except the families' codec files, which orlogix_family takes); an
# interface library while the folder has no sources yet.
function(orlogix_module name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  get_property(codec_sources GLOBAL PROPERTY ORLOGIX_CODEC_SOURCES)
  if(codec_sources)
    list(REMOVE_ITEM sources ${codec_sources})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
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
  target_include_directories(orlogix_${name}_codec PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(orlogix_${name}_codec PUBLIC orlogix_core ${family_DEPENDS})
  set_property(GLOBAL APPEND PROPERTY ORLOGIX_CODEC_SOURCES ${sources})
  set_property(GLOBAL APPEND PROPERTY ORLOGIX_CODECS orlogix_${name}_codec)
endfunction()
