# SPDX-License-Identifier: MIT
# The library is built from layers, each an object library that sees only
# itself and the layers below it:
#  - headers: a layer compiles against a folder of the build tree that holds
#    links to its own headers only (its public ones from include/, its
#    internal ones at their paths from src/); the folders of the layers it
#    depends on come with them. An #include of a higher layer's header does
#    not compile, and neither does a public header that includes one.
#  - symbols: each layer is also linked on its own, with the layers below it,
#    into a shared library that may leave no symbol undefined, so a call
#    into a higher layer does not link.
# zktest and zktest_static are built from the objects of every layer but a
# SEPARATE one, whose objects go into a static library of their own that
# programs link beside zktest (memcheck, the program's allocation
# operators). Such a layer is compiled as a user of the shared library, and
# its symbol check links it against the checks of the layers it names, so a
# call to anything they do not export does not link either.

set(ZKTEST_LAYER_VIEWS ${CMAKE_BINARY_DIR}/zktest-layers)

# Compile definitions of the library's interface: every layer, the libraries
# built from them and every program that uses them (through the CMake
# package's targets and the pkg-config file) compile with these.
set(ZKTEST_INTERFACE_DEFINITIONS "")
if(MINGW)
  # The ISO stdio gives %lld, %zu and %Lg their C99 meaning, as on the other
  # builds; test programs need it too, so it is part of the interface.
  list(APPEND ZKTEST_INTERFACE_DEFINITIONS __USE_MINGW_ANSI_STDIO=1)
endif()
# Sanitizer runtimes are linked into programs, not shared libraries, so the
# symbol check cannot run in those builds; the header check still does.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(ZKTEST_CHECK_LAYER_SYMBOLS OFF)
else()
  set(ZKTEST_CHECK_LAYER_SYMBOLS ON)
endif()

# A link in a view folder to a header of the source tree; where links cannot
# be made, a header that includes the original (never a copy, which would go
# stale when the original changes).
function(zktest_view_header original entry)
  get_filename_component(folder ${entry} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(CREATE_LINK ${original} ${entry} RESULT failed SYMBOLIC)
  if(failed)
    file(WRITE ${entry} "#include \"${original}\"\n")
  endif()
endfunction()

# zktest_layer(<name> [SEPARATE] SOURCES <file>... [PUBLIC_HEADERS <name under include/>...]
#              [INTERNAL_HEADERS <path from src/>...] [DEPENDS <layer>...])
function(zktest_layer name)
  cmake_parse_arguments(ARG "SEPARATE" "" "SOURCES;PUBLIC_HEADERS;INTERNAL_HEADERS;DEPENDS" ${ARGN})
  set(target zktest_layer_${name})
  add_library(${target} OBJECT ${ARG_SOURCES})

  set(view ${ZKTEST_LAYER_VIEWS}/${name})
  file(REMOVE_RECURSE ${view})
  foreach(header IN LISTS ARG_PUBLIC_HEADERS)
    zktest_view_header(${PROJECT_SOURCE_DIR}/include/${header} ${view}/${header})
  endforeach()
  foreach(header IN LISTS ARG_INTERNAL_HEADERS)
    zktest_view_header(${PROJECT_SOURCE_DIR}/src/${header} ${view}/${header})
  endforeach()
  file(MAKE_DIRECTORY ${view})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${view}>)

  set(closure ${name})
  foreach(lower IN LISTS ARG_DEPENDS)
    if(NOT TARGET zktest_layer_${lower})
      message(FATAL_ERROR "layer ${name}: ${lower} must be defined before it, as a lower layer")
    endif()
    target_link_libraries(${target} PUBLIC zktest_layer_${lower})
    get_property(lower_closure GLOBAL PROPERTY ZKTEST_LAYER_CLOSURE_${lower})
    list(APPEND closure ${lower_closure})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set_property(GLOBAL PROPERTY ZKTEST_LAYER_CLOSURE_${name} ${closure})

  target_compile_definitions(${target} PUBLIC ${ZKTEST_INTERFACE_DEFINITIONS})
  zktest_enable_warnings(${target})

  if(NOT ARG_SEPARATE)
    # Each layer's own sources export what they define; a layer above sees
    # the declarations as the library's, a separate one as a user's.
    target_compile_definitions(${target} PRIVATE ZKQE_BUILDING_LIBRARY)
    set_property(GLOBAL APPEND PROPERTY ZKTEST_LAYERS ${name})
    foreach(source IN LISTS ARG_SOURCES)
      get_filename_component(source ${source} ABSOLUTE)
      set_property(GLOBAL APPEND PROPERTY ZKTEST_LIBRARY_SOURCES ${source})
    endforeach()
  endif()

  if(ZKTEST_CHECK_LAYER_SYMBOLS)
    if(ARG_SEPARATE)
      add_library(zktest_layer_check_${name} SHARED $<TARGET_OBJECTS:${target}>)
      foreach(lower IN LISTS ARG_DEPENDS)
        target_link_libraries(zktest_layer_check_${name} PRIVATE zktest_layer_check_${lower})
      endforeach()
    else()
      set(objects)
      foreach(layer IN LISTS closure)
        list(APPEND objects $<TARGET_OBJECTS:zktest_layer_${layer}>)
      endforeach()
      add_library(zktest_layer_check_${name} SHARED ${objects})
    endif()
    target_link_libraries(zktest_layer_check_${name} PRIVATE Threads::Threads)
    if(NOT APPLE)
      target_link_options(zktest_layer_check_${name} PRIVATE -Wl,--no-undefined)
    endif()
    set(checks ${CMAKE_BINARY_DIR}/layer-checks)
    set_target_properties(zktest_layer_check_${name} PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${checks} RUNTIME_OUTPUT_DIRECTORY ${checks}
      ARCHIVE_OUTPUT_DIRECTORY ${checks})
  endif()
endfunction()

# The objects of every layer but the separate ones, for the libraries built
# from all of them.
function(zktest_all_layer_objects out)
  get_property(layers GLOBAL PROPERTY ZKTEST_LAYERS)
  set(objects)
  foreach(layer IN LISTS layers)
    list(APPEND objects $<TARGET_OBJECTS:zktest_layer_${layer}>)
  endforeach()
  set(${out} ${objects} PARENT_SCOPE)
endfunction()
