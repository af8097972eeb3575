#!/bin/sh
# The Octave Packages index entry that make_package.sh writes beside the
# tarball: the fixed first and last lines, every field the index asks for in
# its format (two-space indents, double-quoted strings, a description folded
# within 80 columns), the values DESCRIPTION gives, the tarball's own sha256
# and URL, the maintainer's contact when one is given and none made up; and
# the package's INDEX, which names every module of the build rules once.
# Usage: package_index_entry_test.sh REPOSITORY_ROOT
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
field() { sed -n "s/^$1: *//p" "$root/package/DESCRIPTION"; }
name=$(field Name)
version=$(field Version)

"$root/package/make_package.sh" "$work" > /dev/null || exit 1
contact_when_none_given=$(grep -A1 -x -- "- name: .*" "$work/$name.yaml" | sed -n 2p)
TARBALL_URL_BASE=https://downloads.example/linsvm MAINTAINER_CONTACT=maintainers@downloads.example \
    "$root/package/make_package.sh" "$work" > "$work/printed" || exit 1
tarball="$work/$name-$version.tar.gz"
entry="$work/$name.yaml"
check "make_package.sh prints the tarball's path alone" test "$(cat "$work/printed")" = "$tarball"
check "the index entry $name.yaml is written beside the tarball" test -s "$entry"
has() { grep -qxF -- "$1" "$entry"; }
check "first and last lines are ---" sh -c "test \"\$(head -n 1 '$entry')\" = --- && test \"\$(tail -n 1 '$entry')\" = ---"
check "layout is \"package\"" has 'layout: "package"'
check "permalink is the package name" has "permalink: \"$name\""
check "description is a folded block within 80 columns" sh -c \
    "grep -qx 'description: >-' '$entry' && sed -n '/^description:/,/^links:/p' '$entry' | sed '1d;\$d' | grep -q . \
     && ! sed -n '/^description:/,/^links:/p' '$entry' | sed '1d;\$d' | grep -qvE '^  [^ ].{0,77}\$'"
check "the description starts with the title" grep -qF "  $(field Title | cut -c1-40)" "$entry"
check "the licence link is labelled $(field License)" sh -c \
    "grep -A2 -x -- '- icon: \"far fa-copyright\"' '$entry' | grep -qx '  label: \"$(field License)\"'"
links=$(sed -n '/^links:/,/^maintainers:/p' "$entry")
count() { echo "$links" | grep -cE "$1"; }
check "the links, two or more, each have an icon, a label and an https URL" sh -c \
    "test $(count '^- icon: \"fa[rs] fa-[a-z-]+\"$') -ge 2 && test $(count '^- icon:') -eq $(count '^  label: \"[^\"]+\"$') \
     && test $(count '^- icon:') -eq $(count '^  url: \"https://[^\"]+\"$')"
check "the maintainer is DESCRIPTION's, with MAINTAINER_CONTACT as contact" sh -c \
    "grep -A1 -x -- '- name: \"$(field Maintainer | sed 's/ *<.*//')\"' '$entry' | grep -qx '  contact: \"maintainers@downloads.example\"'"
check "without MAINTAINER_CONTACT, the contact is DESCRIPTION's address or empty, never made up" sh -c \
    "test '$contact_when_none_given' = '  contact: \"$(field Maintainer | sed -n 's/.*<\(.*\)>.*/\1/p')\"' || test '$contact_when_none_given' = '  contact:'"
check "the version is $version, dated $(field Date)" sh -c \
    "grep -A1 -x -- '- id: \"$version\"' '$entry' | grep -qx '  date: \"$(field Date)\"' && echo '$(field Date)' | grep -qxE '[0-9]{4}-[0-9]{2}-[0-9]{2}'"
check "sha256 is the tarball's" has "  sha256: \"$(sha256sum "$tarball" | cut -d' ' -f1)\""
check "the tarball URL is TARBALL_URL_BASE/$name-$version.tar.gz" has "  url: \"https://downloads.example/linsvm/$name-$version.tar.gz\""
check "depends lists DESCRIPTION's $(field Depends) and pkg" sh -c \
    "grep -A3 -x '  depends:' '$entry' | grep -qxF '  - \"$(field Depends)\"' && grep -A3 -x '  depends:' '$entry' | grep -qxF '  - \"pkg\"'"
check "every other line is a key, a list item or a folded text line" sh -c \
    "! sed '1d;\$d' '$entry' | grep -vE '^(  )?(- )?[a-z0-9]+:( \"[^\"]*\"| >-)?\$|^(  )+[^ ]|^  - \"[^\"]+\"\$'"
# INDEX: each module of build_rules.mk and each of their functions in
# Octave's language once, under a category.
modules=$(sed -n 's/^MODULES *= *//p' "$root/build_rules.mk")
functions=$(sed -n 's/^MODULE_[a-z0-9_]*_FUNCTIONS *= *//p' "$root/build_rules.mk" | sed 's/\.m\b//g')
for function in $modules $functions; do
    check "INDEX lists $function once" test "$(grep -cx " $function" "$root/package/INDEX")" -eq 1
done
check "INDEX lists no function that the build rules do not" sh -c \
    "test \$(grep -c '^ [a-z]' '$root/package/INDEX') -eq $(echo $modules $functions | wc -w)"

finish_checks
