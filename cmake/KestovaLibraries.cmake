# kestova_add_library(<folder> <Alias> [sources...])
#
# Declares the static library of one subsystem folder, kestova_<folder>
# (KESTOVA_LIBRARY_NAME overrides the name), with the alias Kestova::<Alias>.
# Its headers are included as "<folder>/Header.h", and only through an
# include root of the folder's own: a build folder holding nothing but a link
# named <folder> to the source folder. A target therefore sees the headers
# of the libraries it links (and of their PUBLIC dependencies) and no
# others, so a library that includes a header of a layer it does not link,
# one above it for instance, fails to compile.
function(kestova_add_library folder alias)
  set(name kestova_${folder})
  if(KESTOVA_LIBRARY_NAME)
    set(name ${KESTOVA_LIBRARY_NAME})
  endif()
  add_library(${name} STATIC ${ARGN})
  add_library(Kestova::${alias} ALIAS ${name})
  kestova_use_own_headers(${name} ${folder} PUBLIC)
endfunction()

# kestova_use_own_headers(<target> <folder> <PUBLIC|PRIVATE>)
#
# Gives a target the include root of its folder, as above: a host (a shared
# object, not a library of the layers) sees its own headers as
# "<folder>/Header.h" and, besides, only those of what it links.
function(kestova_use_own_headers target folder scope)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
  set_property(GLOBAL PROPERTY KESTOVA_INCLUDE_ROOT_${folder} ${root})
endfunction()
