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
  set(root ${PROJECT_BINARY_DIR}/include-roots/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  add_library(${name} STATIC ${ARGN})
  add_library(Kestova::${alias} ALIAS ${name})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${root}>)
  set_property(GLOBAL PROPERTY KESTOVA_INCLUDE_ROOT_${folder} ${root})
endfunction()
