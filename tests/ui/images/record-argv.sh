#!/bin/sh
# Stands in for an image editor: writes the path it was started by and each
# argument on a line of its own into a new file argv.<pid> in the folder
# named by QUILLOMAT_ARGV_DIR (written under a hidden name, then renamed, so
# that a reader never sees half of it).
dir=${QUILLOMAT_ARGV_DIR:?}
printf '%s\n' "$0" "$@" > "$dir/.argv.$$" && mv "$dir/.argv.$$" "$dir/argv.$$"
