# The files an installation holds under its prefix, one a line, sorted;
# shared by the install and the package checks. $1: the AppStream id.
installed_files() {
  printf '%s\n' \
    bin/tonefield \
    bin/tonefield-render \
    share/applications/tonefield.desktop \
    share/doc/tonefield/changelog.gz \
    share/doc/tonefield/copyright \
    share/doc/tonefield/score-format.md \
    share/icons/hicolor/256x256/apps/tonefield.png \
    share/icons/hicolor/scalable/apps/tonefield.svg \
    share/mime/packages/tonefield.xml \
    share/man/man1/tonefield-render.1.gz \
    share/man/man1/tonefield.1.gz \
    share/man/ja/man1/tonefield.1.gz \
    share/man/ja/man1/tonefield-render.1.gz \
    share/doc/tonefield/guide.html \
    "share/metainfo/$1.metainfo.xml" | LC_ALL=C sort
}

# Fails the check with a message, but lets it go on to report more.
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

need_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "FAIL: $tool is not installed (scripts/bootstrap installs it)" >&2
      exit 1
    fi
  done
}

# Every shared library the programs may load, by file name, with the name
# the package's copyright file gives it where it says under which licence
# it is linked. A library missing here is a new dependency whose licence
# has not been looked at.
linked_library_name() {
  case "$1" in
    libQt6*.so.*) echo "Qt 6" ;;
    libSDL2-2.0.so.*) echo "SDL2" ;;
    librtmidi.so.*) echo "RtMidi" ;;
    libasound.so.*) echo "ALSA" ;;
    libjack.so.*) echo "JACK" ;;
    libsmf.so.*) echo "libsmf" ;;
    libglib-2.0.so.*) echo "GLib" ;;
    libpulse.so.*) echo "PulseAudio client library" ;;
    libpipewire-0.3.so.*) echo "PipeWire client library" ;;
    libX11.so.*) echo "Xlib" ;;
    libxkbcommon.so.*) echo "xkbcommon" ;;
    libc.so.* | libm.so.* | ld-linux*.so.*) echo "GNU C library" ;;
    libstdc++.so.*) echo "GNU C++ library" ;;
    libgcc_s.so.*) echo "GCC support library" ;;
    *) return 1 ;;
  esac
}
