#!/usr/bin/env bash
# install_test.sh tree|package BUILD_DIR SOURCE_DIR
#   tree:    cmake --install into a scratch DESTDIR, then check the layout and use it.
#   package: build the .deb with CPack, unpack it with dpkg -x, and use that.
# Each then runs the installed programs with a clean environment: the data-folder rule
# (XDG default with mode 0700, CORVIX_HOME wins), init/add/list, --version, autostart,
# and validates the desktop entry and the AppStream file.
set -euo pipefail
mode=$1 build=$(cd "$2" && pwd) source=$(cd "$3" && pwd)
scratch=$(mktemp -d /tmp/corvix-install.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$scratch/root
case $mode in
  tree)
    DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 ||
      { cat "$scratch/install.log"; fail "cmake --install"; }
    ;;
  package)
    (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg") \
      >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack"; }
    deb=$(ls "$scratch"/pkg/corvix_*.deb) || fail "no .deb written"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libqt6core6 libqt6widgets6 libsqlcipher0 libsodium23 libxtst6 qt6-qpa-plugins; do
      [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib"
    done
    [[ $depends != *libsqlite3* ]] || fail "the package depends on plain sqlite3"
    dpkg-deb -c "$deb" >"$scratch/contents"
    grep -q '/usr/lib/corvix/' "$scratch/contents" || fail "libraries not in /usr/lib/corvix"
    dpkg -x "$deb" "$root"
    ;;
  *) fail "unknown mode $mode" ;;
esac

# The layout.
u=$root/usr
for f in bin/corvix bin/corvix-cli libexec/corvix/corvix-atspi-texts share/corvix/CVWRD.TPS \
         share/applications/corvix.desktop share/metainfo/corvix.metainfo.xml \
         share/icons/hicolor/scalable/apps/corvix.svg share/man/man1/corvix.1 \
         share/bash-completion/completions/corvix-cli share/doc/corvix/manual/index.html \
         share/doc/corvix/manual/search.html share/doc/corvix/manual/help.html; do
  [ -e "$u/$f" ] || [ -e "$u/$f.gz" ] || fail "missing $f"
done
for size in 16 22 24 32 48 64 128 256; do
  [ -s "$u/share/icons/hicolor/${size}x${size}/apps/corvix.png" ] || fail "no ${size}px icon"
done
ls "$u"/lib/corvix/libcorvix_runtime.so* "$u"/lib/corvix/libferrule.so* >/dev/null ||
  fail "shared libraries not in lib/corvix"
[ -z "$(ls "$u"/lib/*.so* 2>/dev/null)" ] || fail "libraries leak into the system library path"
man=$u/share/man/man1/corvix-cli.1
[ -e "$man" ] || { gunzip -k "$man.gz"; }
grep -q 'categories rename' "$man" || fail "corvix-cli.1 does not list the commands"
for exe in "$u/bin/corvix" "$u/bin/corvix-cli"; do
  runpath=$(readelf -d "$exe" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
  [ "$runpath" = '$ORIGIN/../lib/corvix' ] || fail "$exe has RUNPATH '$runpath'"
done

# The installed programs, with nothing of the build tree or this session in reach.
home=$scratch/home
mkdir -p "$home"
run() { env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
run "$u/bin/corvix" --version | grep -q '^corvix 1.03 (' || fail "corvix --version"
run "$u/bin/corvix-cli" --version | grep -q '^corvix-cli 1.03 (' || fail "corvix-cli --version"
run "$u/bin/corvix" --help | grep -q 'XDG_DATA_HOME' || fail "corvix --help"
run "$u/bin/corvix-cli" --help | grep -q 'autostart on|off' || fail "corvix-cli --help"

echo "secret" | run "$u/bin/corvix-cli" init --master-password-stdin || fail "init"
data=$home/.local/share/corvix
[ -f "$data/Corvix.TPS" ] || fail "the vault is not in ~/.local/share/corvix"
[ "$(stat -c %a "$data")" = 700 ] || fail "data folder mode $(stat -c %a "$data")"
[ -f "$data/CVWRD.TPS" ] || fail "the word database was not copied from share/corvix"
printf 'secret\nhunter2\n' | run "$u/bin/corvix-cli" add --description "Installed bank" \
  --name alice --password-stdin >/dev/null || fail "add"
echo secret | run "$u/bin/corvix-cli" list | grep -q 'Installed bank' || fail "list"

# report run --pdf paints through the plugin in lib/corvix, loaded relative to the program;
# corvix-cli itself links no Qt GUI.
[ -f "$u/lib/corvix/libcorvix_cli_pdf.so" ] || fail "the PDF plugin is not in lib/corvix"
! readelf -d "$u/bin/corvix-cli" | grep -q 'Qt6Gui' || fail "corvix-cli links Qt GUI"
(cd "$data" && "$build/tools/save_report_design" "Installed report") || fail "saving a report design"
(cd "$scratch" && echo secret | run "$u/bin/corvix-cli" report run "Installed report" --pdf r.pdf) |
  grep -q '^1 rows' || fail "report run --pdf"
[ "$(head -c 5 "$scratch/r.pdf")" = '%PDF-' ] || fail "report run wrote no PDF"

# A file named on the command line is relative to where the command runs, not to the
# data folder the CLI works in.
mkdir -p "$scratch/work"
(cd "$scratch/work" && echo secret | run "$u/bin/corvix-cli" export passwords mine.BAS >/dev/null) ||
  fail "export passwords"
[ -f "$scratch/work/mine.BAS" ] && [ ! -e "$data/mine.BAS" ] || fail "export went to the wrong folder"
[ "$(stat -c %a "$scratch/work/mine.BAS")" = 600 ] || fail "export file is not private"
grep -q 'Installed bank' "$scratch/work/mine.BAS" || fail "export lacks the account"

# XDG_DATA_HOME is followed; CORVIX_HOME wins over it.
echo "" | run XDG_DATA_HOME="$scratch/xdg" "$u/bin/corvix-cli" init --master-password-stdin ||
  fail "init in XDG_DATA_HOME"
[ -f "$scratch/xdg/corvix/Corvix.TPS" ] || fail "XDG_DATA_HOME not followed"
echo "" | run XDG_DATA_HOME="$scratch/xdg2" CORVIX_HOME="$scratch/own" "$u/bin/corvix-cli" init \
  --master-password-stdin || fail "init in CORVIX_HOME"
[ -f "$scratch/own/Corvix.TPS" ] && [ ! -e "$scratch/xdg2/corvix" ] || fail "CORVIX_HOME does not win"

# A Wayland session is named once, plainly, and nothing needs a display.
run XDG_SESSION_TYPE=wayland "$u/bin/corvix-cli" status | grep -q '^session: wayland' ||
  fail "status does not report the Wayland session"

# Autostart writes and removes a valid desktop entry that starts the installed program.
run XDG_CONFIG_HOME="$scratch/config" "$u/bin/corvix-cli" autostart on >/dev/null || fail "autostart on"
entry=$scratch/config/autostart/corvix.desktop
grep -qx "Exec=\"$u/bin/corvix\"" "$entry" || fail "autostart Exec: $(grep Exec "$entry")"
desktop-file-validate "$entry" || fail "autostart entry invalid"
run XDG_CONFIG_HOME="$scratch/config" "$u/bin/corvix-cli" autostart off >/dev/null || fail "autostart off"
[ ! -e "$entry" ] || fail "autostart off left the entry"

# The README's command table keeps in step with the program.
while read -r words; do
  grep -qF "| \`$words" "$source/README.md" || fail "README.md does not describe \"$words\""
done < <(run "$u/bin/corvix-cli" --help | sed -n 's/^  \([a-z][a-z ]*[a-z]\)\( .*\)\{0,1\}$/\1/p' |
         sed 's/ [A-Z].*//')

desktop-file-validate "$u/share/applications/corvix.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$u/share/metainfo/corvix.metainfo.xml" || fail "metainfo invalid"
echo "install $mode: ok"
