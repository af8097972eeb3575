#!/bin/sh
# Assembles the Octave package tarball NAME-VERSION.tar.gz in OUTPUT_DIR from
# package/ (DESCRIPTION, INDEX, post_install.m, src/Makefile), the build
# rules (build_rules.mk, beside src/Makefile), the licence (LICENSE, as
# COPYING), NEWS and the module sources, and prints its path. Building needs
# only mkoctfile, on the user's machine, when pkg install runs src/Makefile.
# Beside it, NAME.yaml: the package's entry for the Octave Packages index.
# Usage: [TARBALL_URL_BASE=https://...] [MAINTAINER_CONTACT=address]
#        package/make_package.sh OUTPUT_DIR
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
output_dir=${1:?usage: make_package.sh OUTPUT_DIR}
mkdir -p "$output_dir"
output_dir=$(cd "$output_dir" && pwd)

field() {
    value=$(sed -n "s/^$1: *//p" "$root/package/DESCRIPTION")
    [ -n "$value" ] || { echo "make_package.sh: DESCRIPTION has no $1" >&2; exit 1; }
    echo "$value"
}
name=$(field Name)
version=$(field Version)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
package_dir="$stage/$name-$version"
mkdir -p "$package_dir/src"

cp "$root/package/DESCRIPTION" "$root/package/INDEX" "$root/package/post_install.m" "$root/NEWS" "$package_dir/"
cp "$root/LICENSE" "$package_dir/COPYING"
cp "$root/package/src/Makefile" "$root/build_rules.mk" "$package_dir/src/"

# Sources keep their folders (the includes name them from the root); help
# files go to the top of src/, where pkg install takes .m files from.
cd "$root"
for folder in host common svm image; do
    [ -d "$folder" ] || continue
    find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.m' \) \
         ! -name '*_test.*' ! -name '*_bench.*' | sort | while read -r file; do
        case "$file" in
            *.m) cp "$file" "$package_dir/src/" ;;
            *) mkdir -p "$package_dir/src/$(dirname "$file")"
               cp "$file" "$package_dir/src/$file" ;;
        esac
    done
done

tarball="$output_dir/$name-$version.tar.gz"
tar -czf "$tarball" -C "$stage" "$name-$version"

# The package's entry for the Octave Packages index (packages/NAME.yaml there),
# beside the tarball: from DESCRIPTION, with the tarball's checksum. Its URL is
# TARBALL_URL_BASE/NAME-VERSION.tar.gz; until that is known, a placeholder.
description_text() {
    awk '/^Description:/ { sub(/^Description: */, ""); print; more = 1; next }
         more && /^ / { sub(/^ +/, ""); print; next }
         { more = 0 }' "$root/package/DESCRIPTION" | tr '\n' ' '
}
url_base=${TARBALL_URL_BASE:-@TARBALL_URL_BASE@}
# The maintainer's contact: MAINTAINER_CONTACT, else the address of a
# DESCRIPTION Maintainer written "Name <address>", else none (the index takes
# a maintainer without one; a made-up address would mislead).
maintainer=$(field Maintainer)
maintainer_name=$(echo "$maintainer" | sed 's/ *<[^>]*> *$//')
contact=${MAINTAINER_CONTACT:-$(echo "$maintainer" | sed -n 's/.*<\([^>]*\)> *$/\1/p')}
{
    echo '---'
    echo 'layout: "package"'
    echo "permalink: \"$name\""
    echo 'description: >-'
    echo "$(field Title). $(description_text)" | fold -s -w 76 | sed 's/ *$//; s/^/  /'
    echo 'links:'
    echo '- icon: "far fa-copyright"'
    echo "  label: \"$(field License)\""
    echo "  url: \"https://spdx.org/licenses/$(field License).html\""
    echo '- icon: "fas fa-book"'
    echo '  label: "package documentation"'
    echo "  url: \"$(field Url)\""
    echo 'maintainers:'
    echo "- name: \"$maintainer_name\""
    echo "  contact:${contact:+ \"$contact\"}"
    echo 'versions:'
    echo "- id: \"$version\""
    echo "  date: \"$(field Date)\""
    echo "  sha256: \"$(sha256sum "$tarball" | cut -d' ' -f1)\""
    echo "  url: \"$url_base/$name-$version.tar.gz\""
    echo '  depends:'
    field Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//; s/.*/  - "&"/'
    echo '  - "pkg"'
    echo '---'
} > "$output_dir/$name.yaml"
echo "$tarball"
