#!/bin/sh
# Every repository path that the README and docs/ name in backticks must exist. A path counts as the repository's
# when its first part is one of the repository's own top-level entries (src/, tests/, scripts/, ...); install trees,
# build trees and Wine prefixes are not checked.
set -eu
cd "$(dirname "$0")/.."
missing=0
for path in $(grep -ohE '`[A-Za-z0-9_.-]+/[A-Za-z0-9_./*-]*`' README.md docs/*.md | tr -d '`' | sort -u); do
    top=${path%%/*}
    [ -e "$top" ] && [ "$top" != build ] || continue
    # A glob names every file it matches; one match is enough.
    if ! ls -d $path >/dev/null 2>&1; then
        echo "docs name $path, which does not exist" >&2
        missing=1
    fi
done
[ $missing -eq 0 ] && echo "=== doc paths: every repository path the docs name exists"
exit $missing
