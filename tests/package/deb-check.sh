#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a throw-away root and
# starts the installed program offscreen until its connection dialog shows.
#   deb-check.sh <build folder> <login probe library> <expected version>
set -euo pipefail

build=$1 probe=$2 version=$3
work=$(mktemp -d /tmp/tolvan-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "deb-check: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/pkg/*.deb)
((${#debs[@]} == 1)) || fail "expected one package, found ${#debs[@]}"
deb=${debs[0]}
echo "deb-check: $(basename "$deb"), $(stat -c %s "$deb") bytes"

[[ $(dpkg-deb -f "$deb" Package) == tolvan ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "version $(dpkg-deb -f "$deb" Version), expected $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb-check: Depends: $depends"
for need in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libqt6svg6 qt6-translations-l10n libodbc2 libsqlite3-0 libpq5 libmariadb3 libxlsxwriter4 libzip4 libfreexl1 libc6 libstdc++6; do
    [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] || fail "Depends lacks $need"
done
# Every clause names a Debian package that is there on this Debian 12 machine.
IFS=',' read -ra clauses <<<"$depends"
for clause in "${clauses[@]}"; do
    ok=0
    IFS='|' read -ra alternatives <<<"$clause"
    for alt in "${alternatives[@]}"; do
        name=$(awk '{print $1}' <<<"$alt")
        [[ $(dpkg-query -W -f='${Status}' "$name" 2>/dev/null || true) == "install ok installed" ]] && ok=1
    done
    ((ok)) || fail "dependency not satisfiable here: $clause"
done

recommends=$(dpkg-deb -f "$deb" Recommends)
echo "deb-check: Recommends: $recommends"
for need in fonts-noto-cjk fcitx5-frontend-qt6; do
    [[ ", $recommends," == *", $need"[\ ,]* ]] || fail "Recommends lacks $need"
done
# Every recommended package is one Debian 12 has, installed here or not.
IFS=',' read -ra clauses <<<"$recommends"
for clause in "${clauses[@]}"; do
    IFS='|' read -ra alternatives <<<"$clause"
    for alt in "${alternatives[@]}"; do
        name=$(awk '{print $1}' <<<"$alt")
        apt-cache show "$name" >/dev/null 2>&1 || fail "no such package to recommend: $name"
    done
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tolvan usr/share/tolvan/Tolvan.chm usr/share/tolvan/help/index.html \
    usr/share/tolvan/help/images/main.png usr/share/applications/tolvan.desktop \
    usr/share/icons/hicolor/scalable/apps/tolvan.svg usr/share/icons/hicolor/48x48/apps/tolvan.png \
    usr/share/icons/hicolor/128x128/apps/tolvan.png; do
    [[ -s $root/$f ]] || fail "$f is not in the package"
done
[[ -x $root/usr/bin/tolvan ]] || fail "the program is not executable"
[[ $(head -c 4 "$root/usr/share/tolvan/Tolvan.chm") == ITSF ]] || fail "Tolvan.chm is no CHM file"

desktop=$root/usr/share/applications/tolvan.desktop
for line in '^Type=Application$' '^Exec=tolvan$' '^Icon=tolvan$' '^Name\[ja\]=.' '^Comment\[ja\]=.' '^Categories=.*Database;'; do
    grep -q "$line" "$desktop" || fail "tolvan.desktop lacks $line"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

missing=$(ldd "$root/usr/bin/tolvan" | grep 'not found' || true)
[[ -z $missing ]] || fail "unresolved libraries: $missing"

# A clean user: no settings, no ODBC set-up of the tests.
home=$work/home
mkdir -p "$home"
out=$(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    LD_PRELOAD="$probe" timeout 60 "$root/usr/bin/tolvan" 2>"$work/stderr") || {
    cat "$work/stderr" >&2
    fail "the installed program did not come up: $out"
}
echo "deb-check: $out"
[[ $out == *"connection dialog shown: title=Tolvan kinds=ODBC|SQL Server|ORACLE|Access icon=yes"* ]] || fail "unexpected: $out"
echo "deb-check: ok"
