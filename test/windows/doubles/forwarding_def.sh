#!/bin/sh
# Writes a module-definition file that forwards every export of a Wine DLL to
# its renamed copy, except the ones the proxy defines itself.
#   forwarding_def.sh OBJDUMP WINE_DLL COPY_NAME OUT KEEP...
objdump=$1 dll=$2 copy=$3 out=$4
shift 4
{
  echo "EXPORTS"
  "$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '$1 ~ /^\[/ && $1 != "[Ordinal/Name" {print $NF}' | while read -r name; do
      keep=no
      for own in "$@"; do [ "$name" = "$own" ] && keep=yes; done
      if [ $keep = yes ]; then echo "  $name"; else echo "  $name=$copy.$name"; fi
    done
  for own in "$@"; do
    "$objdump" -p "$dll" | grep -qw "$own" || echo "  $own"
  done
} >"$out"
