# shellcheck shell=bash
# Shared by the package checks (sourced): a failure count, tiny phrase
# databases and context files, and a way to make another version of a
# package.

failures=0

# check DESCRIPTION COMMAND...: runs COMMAND and counts a failure if it fails.
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

# Ends the check: exit status 1 if anything failed.
finish() {
  if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

# write_phrases FILE: writes a built-in phrase database from "READING VALUE
# SCORE" lines on standard input, sorted and with the format line, as the
# data builder writes it.
write_phrases() {
  {
    echo "# format org.tarnwick.kestova.sorted"
    LC_ALL=C sort
  } >"$1"
}

# Two small databases that convert ㄘㄜˋ ㄕˋ (Standard keys hk4g4)
# differently. Both have three homophones of ㄊㄚ for the context files
# below to choose from: alone, ㄊㄚ ㄉㄜ˙ (w8 2k7) is 他的.
write_phrases_a() {
  write_phrases "$1" <<'PHRASES'
ㄘㄜˋ 測 -3.0
ㄕˋ 試 -3.0
ㄘㄜˋ-ㄕˋ 測試 -2.0
ㄋㄧˇ 你 -2.0
ㄏㄠˇ 好 -2.0
ㄋㄧˇ-ㄏㄠˇ 你好 -2.2
ㄊㄚ 他 -1.9
ㄊㄚ 它 -2.45
ㄊㄚ 牠 -2.6
ㄉㄜ˙ 的 -1.0
PHRASES
}
write_phrases_b() {
  write_phrases "$1" <<'PHRASES'
ㄘㄜˋ 策 -3.0
ㄕˋ 士 -3.0
ㄘㄜˋ-ㄕˋ 策士 -2.0
ㄋㄧˇ 你 -2.0
ㄏㄠˇ 好 -2.0
ㄋㄧˇ-ㄏㄠˇ 你好 -2.2
ㄊㄚ 他 -1.9
ㄊㄚ 它 -2.45
ㄊㄚ 牠 -2.6
ㄉㄜ˙ 的 -1.0
PHRASES
}

# write_context BUILD_DIR FILE: writes a context file with weight 1 from
# "PREVIOUS NEXT SCORE" lines on standard input, with BUILD_DIR's data
# builder.
write_context() {
  "$1/databuilder/kestova-databuilder" --context-from-pairs /dev/stdin --set context-weight=1 \
    --context-output "$2"
}

# Two small context files that turn ㄊㄚ ㄉㄜ˙ into 它的 (a) and 牠的 (b)
# with the databases above.
write_context_a() { echo "它 的 1.0" | write_context "$1" "$2"; }
write_context_b() { echo "牠 的 1.5" | write_context "$1" "$2"; }

# repack DEB VERSION DATABASE CONTEXT OUT: writes OUT, the package DEB with
# another version, DATABASE as its built-in phrase database and CONTEXT as
# its context file, maintainer scripts and everything else unchanged.
repack() {
  local deb=$1 version=$2 database=$3 context=$4 out=$5 tree
  tree=$(mktemp -d "${TMPDIR:-/tmp}/kestova-repack.XXXXXX")
  dpkg-deb -R "$deb" "$tree/p"
  cp "$database" "$tree/p/usr/share/kestova/kestova-data.txt"
  cp "$context" "$tree/p/usr/share/kestova/kestova-context.bin"
  sed -i "s/^Version: .*/Version: $version/" "$tree/p/DEBIAN/control"
  local size
  size=$(du -sk --exclude=DEBIAN "$tree/p" | cut -f1)
  sed -i "s/^Installed-Size: .*/Installed-Size: $size/" "$tree/p/DEBIAN/control"
  (cd "$tree/p" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
  dpkg-deb --root-owner-group -Zgzip -z1 -b "$tree/p" "$out" >/dev/null
  rm -rf "$tree"
}
