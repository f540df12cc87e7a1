#!/usr/bin/env bash
# Checks that private and protected data members are named camelBack with a trailing
# underscore (pageCount_), with clang-tidy's readability-identifier-naming and nothing
# else (options in .clang-tidy), over the program's own sources: every .cpp of the
# folders below and the headers they include from them. Tests, benchmarks and fuzz
# targets are not checked. Reads compile_commands.json of a configured build directory
# (default build/, with the GUI on so that app/ and appbar/ are in it).
#
#   scripts/check-naming.sh [BUILD_DIR]                  check; fails on any finding
#   scripts/check-naming.sh --fix [BUILD_DIR] [FOLDER...]
#       renames the offending members declared in FOLDER (default: every checked
#       folder) and every use of them in any translation unit of the build, tests
#       included; then clang-format the touched files and rebuild.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

folders=(app appbar cli engines html net platform search settings tasks tools)
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)

fix=0
if [ "${1:-}" = "--fix" ]; then
  fix=1
  shift
fi
build=${1:-build}
[ $# -gt 0 ] && shift
db="$build/compile_commands.json"
if [ ! -f "$db" ]; then
  echo "check-naming: $db not found; configure the build first" >&2
  exit 1
fi

# Translation units of the build that are project sources (not generated files), one a
# line; with an argument, only those under the checked folders.
units() {
  python3 - "$root" "$db" "$@" <<'PY'
import json, sys
root, db, *folders = sys.argv[1:]
seen = set()
for entry in json.load(open(db)):
    path = entry["file"]
    if not path.startswith(root + "/") or path in seen:
        continue
    rel = path[len(root) + 1:]
    if rel.split("/")[0] == "build" or rel.startswith(db.split("/")[0] + "/"):
        continue
    if folders and rel.split("/")[0] not in folders:
        continue
    seen.add(path)
    print(path)
PY
}

filter="^$root/($(IFS='|'; echo "${folders[*]}"))/"
jobs=$(nproc)

if [ "$fix" -eq 0 ]; then
  units "${folders[@]}" |
    xargs -P "$jobs" -n 1 "$tidy" -p "$build" --quiet \
      --checks='-*,readability-identifier-naming' --warnings-as-errors='*' \
      --header-filter="$filter" 2> >(grep -v ' warnings\? \(and [0-9]* errors\? \)\?generated\.$' >&2) ||
    {
      echo "check-naming: private or protected members not named camelBack_ (see above);" \
        "scripts/check-naming.sh --fix renames them" >&2
      exit 1
    }
  echo "check-naming: private and protected members named camelBack_"
  exit 0
fi

fixfolders=("$@")
[ ${#fixfolders[@]} -eq 0 ] && fixfolders=("${folders[@]}")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Every unit of the build, so that uses in tests and in other folders are renamed too.
units | nl -nln -w1 -s' ' |
  xargs -P "$jobs" -L 1 sh -c '"$0" -p "$1" --quiet --checks="-*,readability-identifier-naming" \
      --header-filter="$2" --export-fixes="$3/$4.yaml" "$5" >/dev/null 2>&1 || true' \
    "$tidy" "$build" "$filter" "$out"
# Keep the renames of members declared in the folders asked for, with a field prefix
# "F" dropped (FState -> state_, not fState_); clang-apply-replacements merges the copies
# that several units give for a header.
python3 - "$root" "$out" "${fixfolders[@]}" <<'PY'
import glob, os, re, sys, yaml
root, out, *folders = sys.argv[1:]
prefixes = tuple(os.path.join(root, f) + "/" for f in folders)
for name in glob.glob(os.path.join(out, "*.yaml")):
    with open(name) as f:
        doc = yaml.safe_load(f)
    diags = [d for d in (doc or {}).get("Diagnostics") or []
             if d["DiagnosticMessage"]["FilePath"].startswith(prefixes)]
    for d in diags:
        old = re.search(r"'([^']*)'$", d["DiagnosticMessage"]["Message"])
        if old and re.match(r"F[A-Z]", old.group(1)):
            new = old.group(1)[1].lower() + old.group(1)[2:].rstrip("_") + "_"
            for r in d["DiagnosticMessage"]["Replacements"]:
                r["ReplacementText"] = new
    if diags:
        doc["Diagnostics"] = diags
        with open(name, "w") as f:
            yaml.safe_dump(doc, f)
    else:
        os.remove(name)
PY
apply=$(command -v clang-apply-replacements-14 || command -v clang-apply-replacements)
"$apply" --format --style=file "$out"
echo "check-naming: renamed; rebuild and run the tests"
