# The Debian package: `cpack -G DEB` in a release build tree (scripts/setup package).
set(CPACK_PACKAGE_NAME trellick)
set(CPACK_PACKAGE_VENDOR "The Trellick developers")
set(CPACK_PACKAGE_CONTACT "The Trellick developers <developers@trellick.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "everyday jobs on a file, without a command line")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Drop a file on the window to see what it is and pick an action that fits it: rename, zip, unpack,
convert pictures or audio, take pages out of a PDF, merge PDFs, make a PDF smaller, save pages as
pictures. For anything else, describe the change in plain words: an AI model proposes checked
command-line steps, shown exactly, and nothing runs until you press Run.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ffmpeg for video and most audio (without it the program downloads a build), native Wayland windows
# and the player's back end.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, qt6-wayland, gstreamer1.0-plugins-good, gstreamer1.0-libav")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "zip, tar, qt6-qpa-plugins")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
include(CPack)
