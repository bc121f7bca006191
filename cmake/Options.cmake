# Build values. The program reads no configuration at run time: everything an
# operator can choose for a game is one of these cache variables.
#
# The placeholder origins point at an unused loopback port, so that a build
# made without a game's values (the test build among them) never sends a name
# lookup or a request off this machine: its requests are refused at once.
set(CORVENHAL_UPDATE_ORIGIN "https://127.0.0.1:9" CACHE STRING
    "Origin (scheme and host, no trailing slash) of the update server serving /update/Vers.txt and /update/Updata.ini")
set(CORVENHAL_SHARE_ORIGIN "https://127.0.0.1:9" CACHE STRING
    "Origin of the cloud-drive share service whose note API the announcement uses")
set(CORVENHAL_ANNOUNCE_LINK "https://share.corvenhal.example/s/announce0" CACHE STRING
    "Share link of the announcement note; its last path segment is the share code")
set(CORVENHAL_SPONSOR_LINK "https://share.corvenhal.example/s/sponsor0" CACHE STRING
    "Share link of the note holding the sponsorship page address")
set(CORVENHAL_OFFICIAL_URL "https://www.corvenhal.example" CACHE STRING
    "Root of the official web host")
set(CORVENHAL_ACCOUNT_URL "https://account.corvenhal.example" CACHE STRING
    "Root of the account host (user centre; /do.php?ac=... pages)")
set(CORVENHAL_GUIDE_URL "https://docs.corvenhal.example/guide" CACHE STRING
    "Address of the online game guide page")
set(CORVENHAL_CLIENT_PATH "Resource/CorvenhalClient.exe" CACHE STRING
    "Game client that the starter (Corvenhal.exe) starts, relative to the starter's own directory")
set(CORVENHAL_EXTRA_CA "" CACHE FILEPATH
    "PEM file of certificate authorities that client downloads trust besides the system's trust store; its content is built in")
if(CORVENHAL_EXTRA_CA)
  file(READ "${CORVENHAL_EXTRA_CA}" CORVENHAL_EXTRA_CA_PEM)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CORVENHAL_EXTRA_CA}")
else()
  set(CORVENHAL_EXTRA_CA_PEM "")
endif()

option(CORVENHAL_VERIFY_TLS "Verify server certificates in every request engine instead of ignoring certificate errors" OFF)
option(CORVENHAL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(CORVENHAL_WERROR "Treat compiler warnings as errors" OFF)

set(CORVENHAL_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual)
if(CORVENHAL_WERROR)
  list(APPEND CORVENHAL_WARNINGS -Werror)
endif()
if(CORVENHAL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
