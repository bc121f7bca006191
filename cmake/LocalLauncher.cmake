# Launchers built for the local servers of tools/demo (the demo and the
# end-to-end tests), beside the default launcher and without touching its
# build values.
#
# corvenhal_local_launcher(TARGET DIR UPDATE_PORT SHARE_PORT)
#   TARGET: the launcher linked from the same libraries, except that every
#   source reading the build values is compiled again against a header of its
#   own with
#     update origin      https://127.0.0.1:UPDATE_PORT
#     share origin       https://127.0.0.1:SHARE_PORT
#     announcement link  https://127.0.0.1:SHARE_PORT/s/localAnnounce
#     sponsorship link   https://127.0.0.1:SHARE_PORT/s/localSponsor
#     extra trusted CA   DIR/certs/ca.pem
#   DIR/certs holds that CA and a server certificate for 127.0.0.1 signed by
#   it (made at configure time when missing, tools/demo/make_certs.sh).
#   Every other build value is the default build's.
set(CORVENHAL_DEMO_PORT 47431 CACHE STRING
    "Loopback port of the demo's update server; the demo's share stub listens on the next one")
# The tests' port is drawn from the build directory's name, so that builds in
# different directories can run their tests at the same time.
string(MD5 build_dir_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${build_dir_hash}" 0 4 build_dir_hash)
math(EXPR e2e_default_port "20000 + (0x${build_dir_hash} % 5000) * 2")
set(CORVENHAL_E2E_PORT ${e2e_default_port} CACHE STRING
    "Loopback port of the end-to-end tests' update server; their share stub listens on the next one (default drawn from the build directory's name, 20000-29998)")

function(corvenhal_local_launcher target dir update_port share_port)
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/tools/demo/make_certs.sh ${dir}/certs
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not make the local certificates in ${dir}/certs")
  endif()
  set(CORVENHAL_UPDATE_ORIGIN "https://127.0.0.1:${update_port}")
  set(CORVENHAL_SHARE_ORIGIN "https://127.0.0.1:${share_port}")
  set(CORVENHAL_ANNOUNCE_LINK "https://127.0.0.1:${share_port}/s/localAnnounce")
  set(CORVENHAL_SPONSOR_LINK "https://127.0.0.1:${share_port}/s/localSponsor")
  file(READ ${dir}/certs/ca.pem CORVENHAL_EXTRA_CA_PEM)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/build_config.h.in ${dir}/generated/build_config.h @ONLY)

  # The sources that read the build values; the same objects of the
  # libraries are then never pulled from them.
  file(GLOB_RECURSE candidates CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
  set(sources ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
  foreach(f IN LISTS candidates)
    file(STRINGS ${f} hits REGEX "#include \"build_config.h\"")
    if(hits)
      list(APPEND sources ${f})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES sources)
  add_executable(${target} ${sources})
  target_include_directories(${target} BEFORE PRIVATE ${dir}/generated)
  target_compile_options(${target} PRIVATE ${CORVENHAL_WARNINGS})
  target_link_libraries(${target} PRIVATE corvenhal_app corvenhal_fltk)
endfunction()
