#!/usr/bin/env bash
# The layer check on small trees, each breaking one rule: it must fail, naming what failed, and
# pass again once the break is mended.
#   check_layers_test.sh <path of scripts/check-layers>
set -uo pipefail
check="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
failed=0

put() { mkdir -p "$(dirname "$tree/$1")"; printf '%s\n' "${@:2}" > "$tree/$1"; }
expect() { # expect pass|fail [text the report must hold]
    local out status
    out="$("$check" "$tree" 2>&1)"; status=$?
    if [[ "$1" == pass && $status -ne 0 ]] || [[ "$1" == fail && $status -ne 1 ]]; then
        echo "expected $1, got status $status: $out"; failed=1
    elif [[ -n "${2:-}" && "$out" != *"$2"* ]]; then
        echo "expected the report to name '$2': $out"; failed=1
    fi
}

# A sound tree: units that include one another one way, a header and its own source file.
put closer/a.h '#pragma once' '#include "closer/b.h"'
put closer/a.cpp '#include "closer/a.h"' '#include "platform/x.h"'
put closer/b.h '#pragma once'
put closer/b.cpp '#include "closer/b.h"'
put settings/p.cpp '#include "settings/q.h"' '#include "contract/c.h"'
put settings/q.h '#pragma once'
put settings/q.cpp '#include "settings/q.h"'
put hosts/springboard/h.cpp '#include "closer/a.h"'
expect pass

# A circle of two units, closed through a source file.
put closer/b.cpp '#include "closer/b.h"' '#include "closer/a.h"'
expect fail "closer/a -> closer/b -> closer/a"
put closer/b.cpp '#include "closer/b.h"'
expect pass

# A circle of three units in settings/, and one across the two deliverables that is none.
put settings/q.cpp '#include "settings/q.h"' '#include "settings/r.h"'
put settings/r.h '#pragma once' '  #  include "settings/p.h"'
put settings/p.h '#pragma once' '#include "settings/q.h"'
expect fail "settings/p -> settings/q -> settings/r -> settings/p"
put settings/r.h '#pragma once'
put closer/b.h '#pragma once' '#include "settings/q.h"'
expect pass

# A deliverable reaching into hosts/.
put settings/q.cpp '#include "settings/q.h"' '#include "hosts/springboard/h.h"'
expect fail "settings/q.cpp: includes hosts/springboard/h.h"
put settings/q.cpp '#include "settings/q.h"'
expect pass

# ... nor through a header elsewhere in the tree, or that header's own source file.
put lib/core/a.h '#pragma once' '#include "lib/core/b.h"'
put lib/core/b.h '#pragma once'
put lib/core/b.cpp '#include "lib/core/b.h"' '#include "hosts/common/scenario.h"'
put settings/q.cpp '#include "settings/q.h"' '#include "lib/core/a.h"'
expect fail "settings/q.cpp: reaches hosts/common/scenario.h through lib/core/a.h -> lib/core/b.h -> lib/core/b.cpp"
put lib/core/b.cpp '#include "lib/core/b.h"'
expect pass
# A tool may include hosts/ where nothing on the phone reaches it.
put tools/replay/c.cpp '#include "hosts/common/scenario.h"'
expect pass

# The engine the pane links ships on the phone too: no circle among its units, nothing of tools/.
put playback/e.h '#pragma once'
put playback/e.cpp '#include "playback/e.h"' '#include "lib/core/a.h"'
put settings/q.cpp '#include "settings/q.h"' '#include "playback/e.h"'
expect pass
put lib/core/b.cpp '#include "lib/core/b.h"' '#include "tools/replay/c.h"'
expect fail "playback/e.cpp: reaches tools/replay/c.h through lib/core/a.h -> lib/core/b.h -> lib/core/b.cpp"
put lib/core/b.cpp '#include "lib/core/b.h"'
put playback/f.h '#pragma once' '#include "playback/e.h"'
put playback/e.cpp '#include "playback/e.h"' '#include "playback/f.h"'
expect fail "playback/e -> playback/f -> playback/e"
put playback/e.cpp '#include "playback/e.h"'
expect pass

# A file of 451 lines anywhere, while 450 pass.
mkdir -p "$tree/tests"
seq 450 | sed 's#^#// #' > "$tree/tests/long_test.cpp"
expect pass
echo '// one more' >> "$tree/tests/long_test.cpp"
expect fail "tests/long_test.cpp: 451 lines"

exit $failed
