#!/usr/bin/env bash
# Builds the package with CPack from this build tree and checks what a user
# would get: exactly the expected files and links, the conffile, the control
# fields, a valid desktop entry, icons of their stated sizes, a man page.
#   package_contents.sh BUILD_DIR DEB_DIR VERSION SAMPLE_INI
set -euo pipefail
build=$1 deb_dir=$2 version=$3 sample_ini=$4
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

arch=$(dpkg --print-architecture)
rm -rf "$deb_dir"
cpack --config "$build/CPackConfig.cmake" -B "$deb_dir" >/dev/null
deb=$deb_dir/tarvik-slave_${version}_${arch}.deb
[[ -f $deb ]] || { echo "FAIL: no $deb; CPack made: $(ls "$deb_dir")" >&2; exit 1; }

# Every file and link, nothing more: a stray install rule shows up here.
expected=(
  "-rwxr-xr-x ./usr/lib/tarvik-slave/TarvikSlave"
  "lrwxrwxrwx ./usr/lib/tarvik-slave/TarvikSlave.ini -> /etc/tarvik-slave/TarvikSlave.ini"
  "lrwxrwxrwx ./usr/bin/tarvik-slave -> ../lib/tarvik-slave/TarvikSlave"
  "-rw-r--r-- ./etc/tarvik-slave/TarvikSlave.ini"
  "-rw-r--r-- ./lib/systemd/system/tarvik-slave@.service"
  "-rw-r--r-- ./usr/share/applications/tarvik-slave.desktop"
  "-rw-r--r-- ./usr/share/man/man1/tarvik-slave.1.gz"
  "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/tarvik-slave.svg"
  "-rw-r--r-- ./usr/share/doc/tarvik-slave/copyright"
  "-rw-r--r-- ./usr/share/doc/tarvik-slave/changelog.gz"
)
sizes=(16 32 48 64 128 256)
for s in "${sizes[@]}"; do
  expected+=("-rw-r--r-- ./usr/share/icons/hicolor/${s}x${s}/apps/tarvik-slave.png")
done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $2 = $3 = $4 = $5 = ""; print }' | tr -s ' ' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[[ $actual == "$wanted" ]] || fail "package files differ (< expected, > packaged):
$(diff <(echo "$wanted") <(echo "$actual") | grep '^[<>]')"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == tarvik-slave ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', the project's is $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture is '$(field Architecture)', not $arch"
depends=$(field Depends)
depends_names=$(awk -v RS='[,|]' '{ print $1 }' <<<"$depends")
for lib in libqt6core6 libqt6network6 libqt6widgets6 libqt6charts6 libc6; do
  grep -qx "$lib" <<<"$depends_names" || fail "Depends does not name $lib: $depends"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"

[[ $(<"$work/control/conffiles") == /etc/tarvik-slave/TarvikSlave.ini ]] ||
  fail "conffiles is not the settings file alone: $(<"$work/control/conffiles")"
cmp -s "$sample_ini" "$work/root/etc/tarvik-slave/TarvikSlave.ini" || fail "the conffile is not the sample"
for script in postinst prerm postrm; do
  [[ ! -e $work/control/$script || -x $work/control/$script ]] || fail "$script is not executable"
done

desktop-file-validate "$work/root/usr/share/applications/tarvik-slave.desktop" ||
  fail "desktop entry does not validate"
grep -qx 'Exec=tarvik-slave' "$work/root/usr/share/applications/tarvik-slave.desktop" ||
  fail "desktop entry does not start tarvik-slave"
for s in "${sizes[@]}"; do
  file -b "$work/root/usr/share/icons/hicolor/${s}x${s}/apps/tarvik-slave.png" |
    grep -q "^PNG image data, $s x $s," || fail "the ${s}x${s} icon is not a $s x $s PNG"
done

man=$(gzip -dc "$work/root/usr/share/man/man1/tarvik-slave.1.gz") || fail "man page is not gzip"
[[ $man == *'.TH TARVIK-SLAVE 1 '*"tarvik-slave $version"* ]] || fail "man page header lacks the version"
for option in headless config quiet trace-file registers version help; do
  [[ $man == *"\\-\\-${option//-/\\-}"* ]] || fail "man page does not describe --$option"
done

unit=$work/root/lib/systemd/system/tarvik-slave@.service
grep -qx 'ExecStart=/usr/lib/tarvik-slave/TarvikSlave --headless --config /etc/tarvik-slave/%i.ini' "$unit" ||
  fail "the unit does not start the packaged program with the instance's settings"
file -b "$work/root/usr/lib/tarvik-slave/TarvikSlave" | grep -q 'ELF.*, stripped' || fail "the program is not a stripped ELF"

grep -qx 'ExecReload=/bin/kill -HUP $MAINPID' "$unit" || fail "the unit has no reload that reopens the trace file"
gzip -t "$work/root/usr/share/doc/tarvik-slave/changelog.gz" || fail "changelog.gz is not gzip"
# Debian's hardening, read off the program itself.
program=$work/root/usr/lib/tarvik-slave/TarvikSlave
readelf -lW "$program" | grep -q GNU_RELRO || fail "the program has no RELRO segment"
readelf -dW "$program" | grep -Eq 'BIND_NOW|FLAGS.*NOW' || fail "the program is not linked with -z now"
readelf -hW "$program" | grep -q 'DYN (' || fail "the program is not position-independent"
symbols=$(readelf --dyn-syms -W "$program")
grep -q __stack_chk_fail <<<"$symbols" || fail "the program has no stack protector"
grep -Eq '__[a-z_]+_chk' <<<"$symbols" || fail "the program has no fortified functions"

# Lintian, where it is installed (CI installs it): no error, no warning. An
# override, should one ever be needed, goes in the package with a one-line
# reason above it.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
    fail "lintian: $(<"$work/lintian")"
  grep -E '^[EW]:' "$work/lintian" && fail "lintian reports errors or warnings"
elif [[ "${TARVIK_PACKAGE_INSTALL_TEST:-}" == 1 ]]; then
  fail "lintian is not installed (scripts/install-packages.sh --ci)"
else
  echo "lintian not installed: its check skipped"
fi

((failures == 0)) || exit 1
echo "$deb: $(field Depends)"
