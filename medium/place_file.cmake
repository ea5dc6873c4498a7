# Puts one file of the setup medium in place (cmake -P, from medium/CMakeLists.txt).
#   OUT     the file on the medium
#   SOURCE  the real file, when the build has one (may be empty)
#   WHAT    what the real file is, and ORIGIN where it comes from: the stand-in's text
# Without SOURCE the file becomes a stand-in: a short text under the real file's name, so
# that the medium holds every file setup.exe copies. Its first line says what it is, so
# that nobody takes it for the real file.
get_filename_component(dir "${OUT}" DIRECTORY)
get_filename_component(name "${OUT}" NAME)
file(MAKE_DIRECTORY "${dir}")
if(SOURCE)
    # A fresh copy, so the file is newer than its source and the build sees it done.
    file(REMOVE "${OUT}")
    configure_file("${SOURCE}" "${OUT}" COPYONLY)
else()
    file(WRITE "${OUT}"
"STAND-IN, not the real ${name}: the real file is ${WHAT}, from ${ORIGIN}.

The build of the Vesk setup medium wrote this text in place of ${name}, so that the medium
holds every file setup.exe copies. It does not work as the real file: put the real one
here before the medium is used to install on Windows.
")
endif()
