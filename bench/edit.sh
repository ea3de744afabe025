#!/usr/bin/env bash
# Editing on the 1,600,000-line document: single keystrokes and a 2 MB paste
# with its undo and redo in the core (edit_bench), beside loading the same
# text; then a script of 10,000 mixed edits as a whole `gvtool edit` process,
# its peak memory and wall time beside `gvtool load` of the same file.
#   bench/edit.sh            RUNS=7 by default (KEYS=1001 keystrokes of each kind)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
data=$here/data
runs=${RUNS:-7}
keys=${KEYS:-1001}
gvtool=$root/build/release/cli/gvtool
input=$data/lines-1600000.txt
# The paste's 30,000 lines do not fit below the line limit in the 1,600,000-line
# document: it goes into one made the same way with 30,000 lines fewer.
roomy=$data/lines-1570000.txt
paste=$data/paste-30000.txt
script=$data/edits-10000.txt

for tool in python3 cmake; do
  command -v "$tool" >/dev/null || { echo "edit.sh: $tool is needed" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "edit.sh: /usr/bin/time is needed" >&2; exit 2; }
if [ ! -f "$root/build/release/build.ninja" ]; then
  (cd "$root" && cmake --preset release >/dev/null)
fi
(cd "$root" && cmake --build build/release --target gvtool edit_bench >/dev/null)
mkdir -p "$data"
. "$here/common.sh"
gv_lines_document "$input"
gv_lines_document "$roomy" 1570000 98.125
stamp="paste $(cat "$here/make_paste.py" "$here/make_text.py" | cksum | cut -d' ' -f1)"
if [ "$(cat "$paste.stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$paste" ]; then
  echo "generating $paste ..." >&2
  python3 "$here/make_paste.py" "$paste" 30000 2
  echo "$stamp" >"$paste.stamp"
fi

# The script: 10,000 steps drawn with a fixed seed. It first deletes lines
# 1-2,000 (selected in the line-number column), so that the edits that add
# lines stay below the line limit; then clicks across the whole file and
# near the caret, caret keys, typing (ASCII and Japanese, one character at a
# time), input-method results, Enter, Backspace, Delete, the line commands,
# pastes of a few lines, cuts and copies of a selection made with Shift+Down,
# undo and redo. A report of the undo buffer ends it.
python3 - "$script" <<'EOF'
import random
import sys

rng = random.Random(10000)
ascii_words = ["data", "file", "x = y + 1;", "return 0;", "ID", "OK", "version", "2024", "if (a < b)", "#define"]
japanese = ["日本語", "編集", "テキスト", "変換", "行", "ファイル", "東京都", "確認しました。", "ｶﾀｶﾅ", "「引用」", "です。"]
moves = ["Left", "Right", "Up", "Down", "Home", "End", "PageUp", "PageDown", "Ctrl+Right", "Ctrl+Left"]
steps = ["lineclick 1", "linedrag 2000", "key Delete"]
line, lines = 1, 1598000
table = [  # (weight, kind)
    (8, "far"), (7, "near"), (15, "move"), (18, "type"), (5, "ime"), (8, "enter"), (8, "backspace"), (6, "delete"),
    (3, "INSERTLINE"), (3, "COPYINSERTLINE"), (4, "DELETELINE"), (3, "paste"), (2, "cut"), (5, "UNDO"), (3, "REDO"),
]
kinds = [k for _, k in table]
weights = [w for w, _ in table]
while len(steps) < 10000:
    kind = rng.choices(kinds, weights)[0]
    if kind == "far":
        line = rng.randint(1, lines - 100)
        steps.append("caret %d %d" % (line, rng.randint(1, 40)))
    elif kind == "near":
        line = max(1, line + rng.randint(-20, 20))
        steps.append("caret %d %d" % (line, rng.randint(1, 60)))
    elif kind == "move":
        steps.append("key " + rng.choice(moves))
    elif kind == "type":
        steps.append("type \"%s\"" % rng.choice(ascii_words + japanese))
    elif kind == "ime":
        steps.append("ime " + "".join(rng.choice(japanese) for _ in range(rng.randint(1, 3))))
    elif kind in ("enter", "backspace", "delete"):
        steps.append("key " + kind.capitalize())
    elif kind == "paste":
        text = "\\r\\n".join(rng.choice(japanese) + rng.choice(ascii_words) for _ in range(rng.randint(2, 4)))
        steps += ["clipboard %s\\r\\n" % text, "PASTE"]
    elif kind == "cut":
        steps += ["key Shift+Down", "key Shift+Down", rng.choice(["CUT", "COPY"])]
    else:
        steps.append(kind)
with open(sys.argv[1], "w", encoding="utf-8") as f:
    f.write("\n".join(steps[:10000]) + "\nreport\n")  # the undo buffer's state at the end
EOF

echo "== in the core: keystrokes (median of $keys each), the paste (median of $runs)"
"$root/build/release/bench/edit_bench" "$input" "$roomy" "$paste" "$runs" "$keys"

# Whole processes in turns: the script's edit, and load of the same file.
# /usr/bin/time writes the peak resident set; bash's clock the wall time
# (paths with blanks are not supported here).
measure() {
  local out=$1 t0 t1
  shift
  t0=${EPOCHREALTIME/[.,]/}
  /usr/bin/time -v "$gvtool" "$@" >"$out" 2>"$out.time" || { echo "edit.sh: gvtool $* failed" >&2; cat "$out.time" >&2; return 1; }
  t1=${EPOCHREALTIME/[.,]/}
  echo "$((t1 - t0)) $(awk -F': ' '/Maximum resident set size/ {print $2}' "$out.time")"
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
out=$data/out
mkdir -p "$out"
declare -A cmd=([load]="load $input" [edit]="edit --script $script $input")
# One untimed run of each (which brings the file into the page cache), checked.
measure "$out/load.txt" ${cmd[load]} >/dev/null
measure "$out/edit.txt" ${cmd[edit]} >/dev/null
summary=$(tail -n 1 "$out/edit.txt")
[[ $summary == caret=* ]] || { echo "edit.sh: the script ended with '$summary'" >&2; exit 1; }
declare -A wall rss
for _ in $(seq "$runs"); do
  for n in load edit; do
    got=$(measure "$out/$n.txt" ${cmd[$n]}) || exit 1
    read -r us kb <<<"$got"
    wall[$n]+="$us "
    rss[$n]+="$kb "
  done
done
echo "== whole gvtool processes (median of $runs): the script of 10,000 steps beside load"
for n in load edit; do
  us=$(tr ' ' '\n' <<<"${wall[$n]}" | grep . | median)
  kb=$(tr ' ' '\n' <<<"${rss[$n]}" | grep . | median)
  awk -v n="$n" -v us="$us" -v kb="$kb" 'BEGIN { printf "%-5s wall %8.1f ms   peak RSS %6.1f MB\n", n, us / 1000, kb / 1024 }'
done
echo "script: $summary"
grep '^undo: ' "$out/edit.txt" || true
# What the script met: message boxes, beeps and status texts in its transcript.
awk '/^box: /{b++} /^beep$/{e++} END {printf "boxes=%d beeps=%d\n", b, e}' "$out/edit.txt"
sed -n 's/^status: //p' "$out/edit.txt" | sort | uniq -c | sort -rn
