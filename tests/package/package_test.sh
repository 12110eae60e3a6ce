#!/usr/bin/env bash
# The installation and the Debian package, as a user gets them:
#   package_test.sh BUILD_DIR SOURCE_DIR VERSION [PYTHON MODULE_FILE]
# `cmake --install` into a temporary prefix gives the listed files (and the user guide's pictures);
# the programs run from there, find the data set in share/torvanta and talk to the simulated
# drive; cpack's package holds the same files under /usr and depends on the Qt libraries. With a
# Python interpreter and the module's installed file name, the module zrd is checked too: it
# imports from the prefix and from the package's files, and starts and talks to the simulated
# drive installed beside it.
set -euo pipefail
build=$1
source=$2
version=$3
python=${4:-}
module=${5:-}
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package_test: $*" >&2
  exit 1
}
prefix=$work/prefix
listed=$source/tests/package/installed-files.txt
# The module's file is named by the interpreter it was built for.
expected=$work/installed-files.txt
if [ -n "$module" ]; then
  sed "s|^@PYTHON_MODULE@\$|$module|" "$listed" | sort >"$expected"
else
  grep -v -e "^@PYTHON_MODULE@\$" -e "^lib/python3/" "$listed" | sort >"$expected"
fi

# zrd from a tree of installed files: its version, and a drive read through the simulated one
# that it finds beside itself, with the data set of that tree.
check_python() {
  local site=$1
  [ -n "$python" ] || return 0
  env -u ZRD_SIM PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$python" - "$version" <<'PY' ||
import sys
import zrd
assert zrd.__version__ == sys.argv[1], zrd.__version__
with zrd.Sim() as sim, zrd.connect(sim.port, fast=True) as d:
    assert d["HVER"] > 0
    assert zrd.data_folder().endswith("share/torvanta"), zrd.data_folder()
PY
    fail "import zrd from $site failed"
}

cmake --install "$build" --prefix "$prefix" >/dev/null

# Every file in its place; the pictures are those the user guide shows.
(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -v '^share/doc/torvanta/images/' | sort) \
  >"$work/installed.txt"
diff -u "$expected" "$work/installed.txt" || fail "the installed files differ from $expected"
for picture in $(grep -o 'images/[A-Za-z0-9_-]*\.png' "$source/docs/user-guide.md" | sort -u); do
  [ -f "$prefix/share/doc/torvanta/$picture" ] || fail "the user guide's $picture is not installed"
done

# From the prefix alone: no data folder named, none beside the programs.
unset TORVANTA_DATA
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work
for program in torvanta zrdctl zrd-sim; do
  line=$("$prefix/bin/$program" --version)
  [[ $line == "$program $version"* ]] || fail "$program --version says \"$line\""
  man_page=$prefix/share/man/man1/$program.1.gz
  gzip -dc "$man_page" | grep -q "^\.SH NAME" || fail "$man_page is no manual page"
done
db=$("$prefix/bin/zrdctl" db check | head -n 1)
[ "$db" = "database $prefix/bin/../share/torvanta/Param_base.mod" ] ||
  [ "$db" = "database $prefix/share/torvanta/Param_base.mod" ] || fail "zrdctl db check: $db"

coproc SIM { exec "$prefix/bin/zrd-sim" 2>"$work/sim.err"; }
sim_pid=$SIM_PID
read -r -t 10 -u "${SIM[0]}" device || fail "zrd-sim printed no device: $(cat "$work/sim.err")"
answer=$("$prefix/bin/zrdctl" --port "$device" get --json HVER)
[[ $answer == '{"values": {"HVER": '[0-9]*'}, "failures": []}' ]] || fail "zrdctl get: $answer"
grep -q 'every write is accepted' "$work/sim.err" && fail "zrd-sim found no database"
check_python "$prefix/lib/python3/dist-packages"

bash -c "source '$prefix/share/bash-completion/completions/zrdctl' && complete -p zrdctl" \
  >/dev/null || fail "the bash completion does not load"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix"/share/applications/*.desktop || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix"/share/metainfo/*.xml >/dev/null || fail "metainfo"
fi

# The package: the same files under /usr, the Qt libraries among its dependencies.
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/package/torvanta_"$version"_*.deb)
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' |
  grep -v '^share/doc/torvanta/images/' | sort >"$work/packaged.txt"
diff -u "$expected" "$work/packaged.txt" || fail "the package's files differ from $expected"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6; do
  [[ $depends == *"$library "* ]] || fail "the package does not depend on $library: $depends"
done
if [ -n "$python" ]; then
  [[ $depends == *"python3-numpy"* ]] || fail "the package does not depend on python3-numpy: $depends"
  dpkg-deb -x "$deb" "$work/root"
  check_python "$work/root/usr/lib/python3/dist-packages"
fi
echo "package_test: $deb"
