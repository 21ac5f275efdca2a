#!/usr/bin/env bash
# The two rule checks of the tree (scripts/check-includes, scripts/check-format) fail on a tree that
# breaks their rule, naming the offending lines, and pass on one that keeps it.
set -uo pipefail
scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}
put() { # file, lines
  mkdir -p "$(dirname "$work/$1")"
  printf '%s\n' "${@:2}" >"$work/$1"
}

put src/main.cpp '#include "exchange/import_page.h"' '#include "products/report_window.h"'
put src/lib/text.h '#pragma once' '#include <QString>'
put src/db/query.cpp '#include "db/query.h"' '#include "lib/text.h"'
put src/app/window.cpp '#include "app/window.h"' '#include "platform/zip.h"' '#include <QtWidgets/QWidget>'
put src/exchange/page.cpp '#include "app/window.h"' '#include "exchange/orv/orv_file.h"'
put src/products/summary.cpp '#include "lib/text.h"'
out=$("$scripts/check-includes" "$work/src" 2>&1) || fail "a tree that keeps the order is refused: $out"

put src/lib/text.h '#pragma once' '#include "db/query.h"'
put src/products/summary.cpp '#include "lib/text.h"' '' '#include "exchange/page.h"'
put src/exchange/page.cpp '#include "app/window.h"' '#  include "products/summary.h"'
put src/app/window.cpp '#include "window_parts.h"'
put src/tools/demo.cpp '#include "lib/text.h"'
out=$("$scripts/check-includes" "$work/src" 2>&1)
status=$?
[ $status -eq 1 ] || fail "check-includes exited $status on a tree that breaks the order"
for expected in \
  "$work/src/lib/text.h:2: #include \"db/query.h\"  <- src/lib may not include src/db, which stands above it" \
  "$work/src/products/summary.cpp:3: #include \"exchange/page.h\"  <- src/products never includes src/exchange" \
  "$work/src/exchange/page.cpp:2: #  include \"products/summary.h\"  <- src/exchange never includes src/products" \
  "$work/src/app/window.cpp:1: #include \"window_parts.h\"  <- names no folder of src/" \
  "$work/src/tools/demo.cpp: the folder src/tools has no place in the order of the libraries"; do
  grep -qxF "$expected" <<<"$out" || fail "check-includes does not say: $expected"
done
[ "$(wc -l <<<"$out")" -eq 5 ] || fail "check-includes says more than the five offences: $out"

if command -v clang-format >/dev/null 2>&1; then
  cp "$scripts/../.clang-format" "$work/"
  rm -rf "$work/src"
  put src/lib/text.cpp 'int twice(int value)' '{' '    return 2 * value;' '}'
  out=$("$scripts/check-format" "$work" 2>&1) || fail "a formatted tree is refused: $out"
  put tests/lib/text_test.cpp 'int twice(int value) { return 2*value; }'
  out=$("$scripts/check-format" "$work" 2>&1)
  status=$?
  [ $status -eq 1 ] || fail "check-format exited $status on a file clang-format would change"
  grep -q "tests/lib/text_test.cpp:1:" <<<"$out" || fail "check-format does not name the file: $out"
else
  echo "clang-format is not installed: only check-includes is tested"
fi
exit $failed
