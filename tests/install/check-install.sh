#!/usr/bin/env bash
# check-install.sh BUILD_DIR: installs the build into a temporary prefix and checks the layout file by file,
# validates the desktop entry and the AppStream file, builds the Debian package, checks its contents, unpacks
# it into a throw-away root and runs the installed programs from there. Safe to run by hand: everything it
# writes, home and XDG folders included, lives in one temporary folder.
set -euo pipefail
build="$(realpath "$1")"
work="$(mktemp -d)"
trap 'kill "${app:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
export XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/home/run"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The window's process never loads the media readers: they live in the probe helper and the two modules.
# The probe helper shows the pattern matches real library names.
readers='lib(vips|av[a-z]*|Qt6Pdf|Qt6Multimedia[A-Za-z]*|qpdf|mupdf[-a-z]*)\.so'
needed() { readelf -d "$1" | awk '/\(NEEDED\)/ {print $NF}' | tr -d '[]'; }
needed "$build/bin/trellick-probe" > "$work/probe.needed" || fail "cannot read the probe helper's dynamic section"
needed "$build/bin/trellick" > "$work/window.needed" || fail "cannot read the window's dynamic section"
grep -Eq "^$readers" "$work/probe.needed" || fail "no reader library found in the probe helper's dynamic section"
! grep -E "^$readers" "$work/window.needed" || fail "the window links the media readers above"

# Only trellick goes on PATH; everything it runs or loads sits in libexec/trellick.
expected="bin/trellick
libexec/trellick/afconvert
libexec/trellick/ditto
libexec/trellick/sips
libexec/trellick/trellick-pdf.so
libexec/trellick/trellick-player.so
libexec/trellick/trellick-probe
share/applications/app.trellick.Trellick.desktop
share/doc/trellick/copyright
share/icons/hicolor/scalable/apps/app.trellick.Trellick.svg
share/metainfo/app.trellick.Trellick.metainfo.xml"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
diff <(echo "$expected") <(cd "$work/prefix" && find . ! -type d | sed 's|^\./||' | sort) \
    || fail "the installed files differ from the layout (< expected, > installed)"
# Hints count too: two main categories put the entry twice in some menus.
hints="$(desktop-file-validate "$work/prefix/share/applications/app.trellick.Trellick.desktop")" \
    || fail "the desktop entry is not valid: $hints"
[ -z "$hints" ] || fail "the desktop entry has warnings: $hints"
appstreamcli validate --no-net "$work/prefix/share/metainfo/app.trellick.Trellick.metainfo.xml" >/dev/null \
    || appstreamcli validate --no-net "$work/prefix/share/metainfo/app.trellick.Trellick.metainfo.xml"

# The package: its contents are the same layout under /usr, and it names ffmpeg as recommended.
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb="$(ls "$work"/deb/trellick_*.deb)"
diff <(echo "$expected" | sed 's|^|usr/|') \
    <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort) \
    || fail "the package's files differ from the layout"
dpkg-deb -f "$deb" Recommends | grep -qw ffmpeg || fail "the package does not recommend ffmpeg"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package's library dependencies are missing"
# A continuation line indented further would be shown as preformatted text by package managers.
! dpkg-deb -f "$deb" Description | grep -q "^  " || fail "the package description has preformatted lines"

root="$work/root"
dpkg-deb -x "$deb" "$root"
# The installed probe worker, confined, reads a file passed to it over its socket.
printf 'hello\n' > "$work/note.txt"
python3 - "$root/usr/libexec/trellick/trellick-probe" "$work/note.txt" <<'PY' || fail "the installed probe worker failed"
import json, os, socket, struct, subprocess, sys
os.dup2(os.open("/dev/null", os.O_RDONLY), 3)  # so that neither end of the pair is descriptor 3
mine, theirs = socket.socketpair()
os.dup2(theirs.fileno(), 3)
worker = subprocess.Popen([sys.argv[1]], pass_fds=[3])
os.close(3)
theirs.close()
request = b'{"kind":"image"}'
with open(sys.argv[2], "rb") as note:
    socket.send_fds(mine, [struct.pack("=I", len(request)) + request], [note.fileno()])
reply = mine.makefile("rb")
length = struct.unpack("=I", reply.read(4))[0]
assert json.loads(reply.read(length)) == {"source": "libvips"}
reply.close()
mine.close()
sys.exit(worker.wait(10))
PY
# The installed program, given a file as Open With gives it, takes its helpers from libexec, never from PATH,
# and knows that the desktop reads its entry.
QT_LOGGING_RULES="trellick.platform.debug=true" XDG_DATA_DIRS="$root/usr/share" \
    "$root/usr/bin/trellick" "$work/note.txt" > "$work/app.log" 2>&1 &
app=$!
for _ in $(seq 150); do
    grep -q "Helpers are taken from" "$work/app.log" && grep -q "Open With lists" "$work/app.log" && break
    sleep 0.2
done
grep -q "Helpers are taken from $root/usr/libexec/trellick\$" "$work/app.log" \
    || { cat "$work/app.log" >&2; fail "the installed program did not take its helpers from libexec"; }
grep -q "Open With lists $root/usr/share/applications/app.trellick.Trellick.desktop: yes" "$work/app.log" \
    || { cat "$work/app.log" >&2; fail "the installed program does not know it is in the Open With menu"; }
echo "install layout, desktop entry, metainfo and package: all right"
