# The JavaScript engine of the script components, as target corvenhal_duktape.
#
# Debian's shared libduktape is built without the execution-timeout hook, so a
# script stuck in an endless loop could never be stopped. The package also
# ships the engine's single-file source: it is compiled here with the same
# configuration plus the interrupt counter and a timeout check that calls
# corvenhal_duktape_timed_out(heap user data) every few hundred thousand
# instructions. The dense string hash is switched on as well: the default one
# samples every other byte of strings over 32 bytes, so the URLs and paths of a
# manifest, which differ in a few digits, collide in long chains.
# Without that source the shared library is used and CORVENHAL_DUKTAPE_TIMEOUT
# stays undefined (scripts then run unbounded).
find_path(CORVENHAL_DUKTAPE_SOURCE_DIR duktape.c PATHS /usr/share/duktape NO_DEFAULT_PATH)

if(CORVENHAL_DUKTAPE_SOURCE_DIR)
  set(gen ${CMAKE_BINARY_DIR}/generated/duktape)
  file(READ ${CORVENHAL_DUKTAPE_SOURCE_DIR}/duk_config.h config)
  set(hook "#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) corvenhal_duktape_timed_out(udata)
#if defined(__cplusplus)
extern \"C\"
#endif
int corvenhal_duktape_timed_out(void *udata);
")
  foreach(name DUK_USE_EXEC_TIMEOUT_CHECK DUK_USE_INTERRUPT_COUNTER DUK_USE_STRHASH_DENSE)
    string(FIND "${config}" "#undef ${name}\n" at)
    if(at LESS 0)
      message(FATAL_ERROR "duk_config.h has no '#undef ${name}' line to switch on")
    endif()
  endforeach()
  string(REPLACE "#undef DUK_USE_EXEC_TIMEOUT_CHECK\n" "${hook}" config "${config}")
  string(REPLACE "#undef DUK_USE_INTERRUPT_COUNTER\n" "#define DUK_USE_INTERRUPT_COUNTER\n" config "${config}")
  string(REPLACE "#undef DUK_USE_STRHASH_DENSE\n" "#define DUK_USE_STRHASH_DENSE\n" config "${config}")
  file(WRITE ${gen}/duk_config.h.new "${config}")
  configure_file(${gen}/duk_config.h.new ${gen}/duk_config.h COPYONLY)
  configure_file(${CORVENHAL_DUKTAPE_SOURCE_DIR}/duktape.h ${gen}/duktape.h COPYONLY)
  configure_file(${CORVENHAL_DUKTAPE_SOURCE_DIR}/duktape.c ${gen}/duktape.c COPYONLY)

  add_library(corvenhal_duktape STATIC ${gen}/duktape.c)
  # The engine's own source: not held to the project's warning set.
  target_compile_options(corvenhal_duktape PRIVATE -w)
  target_include_directories(corvenhal_duktape BEFORE PUBLIC ${gen})
  target_compile_definitions(corvenhal_duktape PUBLIC CORVENHAL_DUKTAPE_TIMEOUT=1)
  target_link_libraries(corvenhal_duktape PUBLIC m)
else()
  add_library(corvenhal_duktape INTERFACE)
  target_link_libraries(corvenhal_duktape INTERFACE PkgConfig::DUKTAPE)
endif()
