#!/bin/sh
# install-binary.sh SOURCE DESTINATION: puts a built plug-in or tool at DESTINATION without
# writing into the file that is there. A host that has the old library loaded runs on code
# mapped from that file: overwriting it in place changes the code under the running host,
# which then crashes. So the new bytes go to a temporary file beside DESTINATION (same
# folder, hence the same file system) that is renamed over it; the rename is atomic and the
# running process keeps the old file until it lets go of it.
set -eu
if [ $# -ne 2 ]; then
  echo "usage: install-binary.sh SOURCE DESTINATION" >&2
  exit 2
fi
source=$1
destination=$2
folder=$(dirname -- "$destination")
name=$(basename -- "$destination")

mkdir -p -- "$folder"
temporary=$(mktemp "$folder/.$name.XXXXXX")
trap 'rm -f -- "$temporary"' EXIT INT TERM HUP
cp -- "$source" "$temporary"
chmod --reference="$source" -- "$temporary"
if ! mv -fT -- "$temporary" "$destination"; then
  # Windows refuses to replace a library that a process has loaded.
  echo "install-binary.sh: cannot replace $destination: it may be in use. Close the host that has" \
       "it loaded (or any program running it), then build or install again." >&2
  exit 1
fi
trap - EXIT INT TERM HUP
