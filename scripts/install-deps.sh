#!/usr/bin/env bash
# Installs the Debian packages Korvex needs to build, test and run.
# Idempotent: installs only what is missing; refreshes the package lists first
# only when something has to be installed.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config git
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # foundation: property lists, XML/HTML, JSON, Unicode, regular expressions (PCRE2, also the host's GREP find/change)
  libplist-dev libxml2-dev nlohmann-json3-dev libicu-dev libpcre2-dev
  # foundation: the freedesktop Trash (GIO)
  libglib2.0-dev
  # host: fonts and text shaping
  libfontconfig-dev fontconfig fonts-dejavu-core libfreetype-dev libharfbuzz-dev
  # host: IDML packages (ZIP)
  libzip-dev
  # host: pictures, PDF writing and rasterising, PostScript
  libjpeg-dev libpng-dev libtiff-dev libqpdf-dev qpdf ghostscript
  libmupdf-dev libjbig2dec0-dev libopenjp2-7-dev libgumbo-dev libmujs-dev zlib1g-dev
  # host: every placed picture is read through libvips
  libvips-dev
  # platform: installed ICC profiles found by their description (lcms2)
  liblcms2-dev
  # platform: the IPTC fields of pictures (exiv2); tests write IPTC with its command-line tool
  libexiv2-dev exiv2
  # host: the script runner embeds Duktape (built from the source the package ships)
  duktape-dev
  # tests make pictures with vips and ImageMagick and check PDFs with poppler and qpdf
  libvips-tools imagemagick poppler-utils
  # workers on a shared queue: Redis streams (the server for tests and single-machine set-ups)
  redis-server libhiredis-dev
  # tables: .xls workbooks through FreeXL; tests write workbooks with libxlsxwriter and xlwt
  libfreexl-dev libxlsxwriter-dev python3-xlwt
  # IDML tests list and unpack packages with Info-ZIP and check every part with xmllint
  unzip libxml2-utils
  # the fuzz targets are built with clang's libFuzzer
  clang
  # the Qt dialog backend: Widgets, QUiLoader (whose CMake files need Qt's OpenGL ones) and the
  # platform plug-ins, among them the offscreen one its tests run on; uic checks the .ui files
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6opengl6-dev qt6-qpa-plugins
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
