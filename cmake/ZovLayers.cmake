# Layers that depend one way. Every layer sees the folders of the layers below
# it and its own folder, and nothing above: its include root is a directory in
# the build tree holding links to exactly those folders, so that an include of
# a higher layer ("engine/..." from math/) names a file that is not there and
# the build fails.

# zov_layer_root(<name> <out-var> <folders...>): the include root that shows
# <folders...> (folders of the source tree) and nothing else.
function(zov_layer_root name out)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${ARGN})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

zov_layer_root(platform ZOV_PLATFORM_ROOT platform)
zov_layer_root(math     ZOV_MATH_ROOT     platform math)
zov_layer_root(geometry ZOV_GEOMETRY_ROOT platform math geometry)
zov_layer_root(engine   ZOV_ENGINE_ROOT   platform math geometry engine)
zov_layer_root(module   ZOV_MODULE_ROOT   platform math geometry engine src)

# zov_add_layer(<name> FOLDER <folder> ROOT <include-root> [LINKS <lower layers...>]):
# the static library zov_<name> of every variant from <folder>/**/*.cpp.
function(zov_add_layer name)
  cmake_parse_arguments(ARG "" "FOLDER;ROOT" "LINKS;EXTRA_LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${ARG_FOLDER}/*.cpp)
  foreach(variant ${ZOV_VARIANTS})
    zov_variant_suffix(${variant} suffix)
    set(target zov_${name}${suffix})
    add_library(${target} STATIC ${sources})
    # The root is private: a layer above brings its own, wider root.
    target_include_directories(${target} PRIVATE ${ARG_ROOT})
    set(libs)
    foreach(lib ${ARG_LINKS})
      list(APPEND libs zov_${lib}${suffix})
    endforeach()
    target_link_libraries(${target} PUBLIC ${libs} ${ARG_EXTRA_LIBS})
    zov_apply_variant(${target} ${variant})
  endforeach()
endfunction()
