# The system libraries every layer may use, as imported targets. scripts/install-deps.sh
# installs them.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(CURL REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(PNG REQUIRED)
find_package(TIFF REQUIRED)
find_package(GIF REQUIRED)
# libjpeg's own interface, beside TurboJPEG's, for the decoder settings TurboJPEG does not offer.
find_package(JPEG REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(Boost 1.74 REQUIRED)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

# stb ships headers only; its image decoder is compiled once in image/.
find_path(STB_INCLUDE_DIR stb/stb_image.h REQUIRED)
