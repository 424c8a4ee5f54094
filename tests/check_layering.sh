#!/bin/sh
# The direction of the layers: font-stack headers only in platform/, pugixml and
# libpng only in components/, and the library reaches the components only
# through include/.
root=${1:-.}
fail=0
check() { # pattern, dirs that must not match
  pattern=$1; shift
  for d in "$@"; do
    [ -d "$root/$d" ] || continue
    if grep -rnE "$pattern" "$root/$d" --include='*.cpp' --include='*.hpp' --include='*.h' --include='*.c'; then
      echo "layering: '$pattern' used in $d/"; fail=1
    fi
  done
}
check '#include *<(ft2build|hb|hb-ft|unicode/|fontconfig/)' include render fonts markup components tools
check '#include *<(pugixml|png)\.h' include render fonts markup platform tools
check '#include *"(\.\./)*components/' render fonts markup platform tools
exit $fail
