#!/usr/bin/env bash
# The Debian package as it installs: packs the programs of the build tree BUILD with CPack,
# unpacks the package into a temporary root and checks what a user of the installed tool
# meets there.
#
# The package is made from the tree the other tests use (a Debug build) rather than from a
# Release build of its own: the install rules, the CPack settings, the dependencies that
# dpkg-shlibdeps finds and the installed layout are the same for both build types, and this
# keeps the test to seconds instead of another build of minutes. scripts/package makes the
# Release package with the same rules.
#
# usage: installed_layout.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Packing, in a directory of its own so the build tree is not changed.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pack" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack did not make the package" >&2
  exit 1
fi
deb=$(ls "$work"/pack/qel2-serv_*_"$(dpkg --print-architecture)".deb)
echo "package: ${deb##*/}"

# The file list: the programs, the desktop entry, both icons, both manual pages, and
# nothing of the tests or benchmarks.
dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
for f in /usr/bin/qel2_serv /usr/bin/qel2_cli /usr/bin/qel2_sim \
         /usr/share/applications/qel2_serv.desktop \
         /usr/share/icons/hicolor/scalable/apps/qel2_serv.svg \
         /usr/share/icons/hicolor/64x64/apps/qel2_serv.png \
         /usr/share/man/man1/qel2_cli.1.gz /usr/share/man/man1/qel2_sim.1.gz; do
  grep -qx "$f" "$work/contents" || fail "the package does not hold $f"
done
if grep -E '/(test_|bench_)[^/]*$' "$work/contents"; then
  fail "the package holds tests or benchmarks"
fi
if grep -v -E '^/usr/((bin|share)(/.*)?)?$' "$work/contents"; then
  fail "the package installs outside /usr/bin and /usr/share"
fi

# The dependencies come from dpkg-shlibdeps: the Qt libraries the programs link to.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 libc6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends does not name $lib"
done

root=$work/root
dpkg-deb -x "$deb" "$root"

# The command-line programs start from the unpacked root and print their usage.
for p in qel2_cli qel2_sim; do
  if ! "$root/usr/bin/$p" --help >"$work/$p.help" 2>&1; then
    fail "$p --help exited with $?"
  fi
  grep -q "^Usage:" "$work/$p.help" || fail "$p --help printed no usage text"
  grep -q "$p" "$work/$p.help" || fail "$p --help does not name $p"
done

desktop-file-validate "$root/usr/share/applications/qel2_serv.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
grep -qx 'Exec=qel2_serv' "$root/usr/share/applications/qel2_serv.desktop" ||
  fail "the desktop entry does not start qel2_serv"

# The manual pages are gzip files of pages for section 1 with the program's name.
for p in qel2_cli qel2_sim; do
  page=$root/usr/share/man/man1/$p.1.gz
  if ! gzip -t "$page" 2>/dev/null; then
    fail "$page is not a gzip file"
  elif ! zcat "$page" | grep -q "^\.TH ${p^^} 1 "; then
    fail "$page has no .TH line for $p in section 1"
  fi
done

# An installed program cannot write /usr/bin, so it keeps its files in the user's data
# directory. Root writes anywhere, so as root the program runs as nobody; any other user
# gets an unpacked /usr/bin without write permission, as a real one is.
chmod 755 "$work"
home=$work/home
mkdir "$home"
run=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  run=(runuser -u nobody --)
else
  chmod a-w "$root/usr/bin"
fi
# The program opens its connection dialog and waits there; it is ended once it had time
# to set up its directories.
cd "$home"
timeout 20 "${run[@]}" env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
  XDG_RUNTIME_DIR="$home/runtime" "$root/usr/bin/qel2_serv" >"$work/serv.log" 2>&1 &
serv=$! # timeout, which passes a kill on to the program
cd /
data=$home/.local/share/qel2_serv
for _ in $(seq 200); do
  [ -d "$data/CONFIG" ] && [ -d "$data/INI" ] && break
  kill -0 "$serv" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5 # still running: it did not end at start-up
alive=0
kill -0 "$serv" 2>/dev/null && alive=1
kill "$serv" 2>/dev/null || true
wait "$serv" 2>/dev/null || true
[ "$alive" -eq 1 ] || { cat "$work/serv.log" >&2; fail "qel2_serv ended at start-up"; }
for d in CONFIG INI; do
  [ -d "$data/$d" ] || fail "the installed qel2_serv made no $d in $data"
  [ ! -e "$root/usr/bin/$d" ] || fail "the installed qel2_serv wrote $d into /usr/bin"
done

# qel2_cli reads the settings file of that same directory: a COM port mapped there to the
# simulator's pseudo-terminal reaches the simulated device. Both run as the same user, who
# may then open the pseudo-terminal.
if [ -d "$data/INI" ]; then
  sim_out=$work/sim.out
  "${run[@]}" "$root/usr/bin/qel2_sim" --serial --mac 02:00:00:00:00:07 >"$sim_out" 2>&1 &
  sim=$!
  pty=""
  for _ in $(seq 100); do
    pty=$(head -n 1 "$sim_out")
    [ -n "$pty" ] && break
    sleep 0.1
  done
  if [ -z "$pty" ]; then
    fail "qel2_sim --serial printed no pseudo-terminal"
  else
    printf '[COM_PORTS]\r\nCOM7=%s\r\n' "$pty" >"$data/INI/qel_conn.ini"
    [ -z "${run[*]}" ] || chown nobody "$data/INI/qel_conn.ini"
    mac=$(cd "$home" && "${run[@]}" env -i HOME="$home" PATH=/usr/bin:/bin \
      "$root/usr/bin/qel2_cli" query --com 7 mac 2>"$work/cli.err") || true
    grep -qi '02:00:00:00:00:07' <<<"$mac" ||
      fail "the installed qel2_cli did not use $data/INI/qel_conn.ini: '$mac' $(cat "$work/cli.err")"
  fi
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
fi
chmod -R u+w "$root"

[ "$failures" -eq 0 ] || exit 1
echo "the installed layout is right"
