# The fuzz targets: name, source file, libraries. Shared by the libFuzzer
# build (fuzz/) and the corpus replay tests (tests/fuzz/).
set(KESTOVA_FUZZ_TARGETS phrase_table user_file module_config syllable braille key_handler
  user_files_key_handler context_file)

set(KESTOVA_FUZZ_phrase_table_SOURCES PhraseTableFuzzer.cpp)
set(KESTOVA_FUZZ_phrase_table_LIBS kestova_models)
set(KESTOVA_FUZZ_user_file_SOURCES UserFileFuzzer.cpp)
set(KESTOVA_FUZZ_user_file_LIBS kestova_models)
# The settings readers are part of the shared core library.
set(KESTOVA_FUZZ_module_config_SOURCES ModuleConfigFuzzer.cpp)
set(KESTOVA_FUZZ_module_config_LIBS kestova_core)
set(KESTOVA_FUZZ_syllable_SOURCES SyllableFuzzer.cpp)
set(KESTOVA_FUZZ_syllable_LIBS kestova_phonetics)
set(KESTOVA_FUZZ_braille_SOURCES BrailleFuzzer.cpp)
set(KESTOVA_FUZZ_braille_LIBS kestova_notations)
set(KESTOVA_FUZZ_key_handler_SOURCES KeyHandlerFuzzer.cpp)
set(KESTOVA_FUZZ_key_handler_LIBS kestova_engine)
set(KESTOVA_FUZZ_user_files_key_handler_SOURCES UserFilesKeyHandlerFuzzer.cpp)
set(KESTOVA_FUZZ_user_files_key_handler_LIBS kestova_engine kestova_models)
set(KESTOVA_FUZZ_context_file_SOURCES ContextFileFuzzer.cpp)
set(KESTOVA_FUZZ_context_file_LIBS kestova_engine kestova_models)

# Adds executable <prefix><name> for every target, built from the target's
# sources plus `extra` sources, with `options` as compile and link options.
function(kestova_add_fuzz_executables prefix extra options)
  foreach(name IN LISTS KESTOVA_FUZZ_TARGETS)
    set(sources)
    foreach(source IN LISTS KESTOVA_FUZZ_${name}_SOURCES extra)
      list(APPEND sources ${PROJECT_SOURCE_DIR}/fuzz/${source})
    endforeach()
    add_executable(${prefix}${name} ${sources})
    target_link_libraries(${prefix}${name} PRIVATE ${KESTOVA_FUZZ_${name}_LIBS} kestova_text)
    if(options)
      target_compile_options(${prefix}${name} PRIVATE ${options})
      target_link_options(${prefix}${name} PRIVATE ${options})
    endif()
  endforeach()
endfunction()
