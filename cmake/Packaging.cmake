# `make package`: a Debian package of what `cmake --install` installs, under /usr. Its
# dependencies come from dpkg-shlibdeps, which reads the libraries the binaries link
# (libheif1 brings its HEVC and AV1 codecs with it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillane)
set(CPACK_PACKAGE_VENDOR Quillane)
set(CPACK_PACKAGE_CONTACT "Quillane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a folder of images into one layered PSD document")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillane stacks the images of a folder (JPEG, PNG, GIF, BMP, TIFF and PICT files) as the
layers of one PSD document (WebP, HEIC, AVIF and JPEG XL files too, if asked): one layer per image, named after its file, in file-name order,
optionally with pure white or pure black made transparent. It comes as a desktop
application, quillane-app, and as a command, quillane.")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
if(QUILLANE_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLANE_HOMEPAGE_URL})
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (dialogs, --help) in the user's language; read at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")

include(CPack)
