#!/usr/bin/env bash
# The cohort page in a real browser: tools/cohort-run --plots on three generated nights, one of
# which fails (a file that is no recording, with "<b>" in its name, so its reason and id must be
# escaped). Headless Chromium loads OUTDIR/index.html: every row is in the DOM, every link points
# to an existing file, ?sort=mc_mean orders the rows, and a screenshot is taken.
#   cohort-page_test.sh SOURCE_DIR BUILD_DIR [SCREENSHOT.png]
# Exit 77 (skipped) when Chromium is not installed: tools/setup-deps.sh installs it, .ci/run too.
set -uo pipefail
source_dir="$1" build_dir="$2" screenshot="${3:-}"
chromium="$(command -v chromium || command -v chromium-browser || true)"
if [ -z "$chromium" ]; then
    echo "SKIP: Chromium is not installed (Debian package chromium; tools/setup-deps.sh installs it)"
    exit 77
fi
export VANTREL4="$build_dir/app/vantrel4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
check() {
    if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

for seed in 1 2; do
    "$build_dir/tools/make-recording" --duration=30m --seed=$seed "night $seed.edf" >/dev/null
done
echo "no recording" >"broken <b>.edf"
printf 'night 1.edf\t1\tslow-wave\nbroken <b>.edf\t1\tslow-wave\nnight 2.edf\t1\tslow-wave\n' >list.tsv
"$source_dir/tools/cohort-run" -j 2 --plots list.tsv out 2>run.err
status=$?
check "exit 1: one night failed" '[ "$status" -eq 1 ]'
check "a picture of each completed night, none of the failed" \
    '[ -s "out/0001-night 1-s1.cvn.png" ] && [ -s "out/0003-night 2-s1.cvn.png" ] && ! [ -e "out/0002-broken <b>-s1.cvn.png" ]'
check "the page is written" '[ -s out/index.html ]'
if command -v tidy >/dev/null; then
    check "tidy finds no error in the page" 'tidy -q -e --show-warnings no out/index.html 2>tidy.err; [ $? -lt 2 ] && ! [ -s tidy.err ]'
fi

# A fresh profile, nothing from the network, no sandbox (CI runs as root).
browse() {
    "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" "$@" 2>>browser.err
}
page="file://$work/out/index.html"
browse --dump-dom "$page" >plain.dom
browse --dump-dom "$page?sort=mc_mean" >sorted.dom
browse --screenshot="$work/page.png" --window-size=1500,1000 --virtual-time-budget=3000 "$page" >/dev/null

# The rows of a DOM dump, tab-separated: id and MC mean (empty for none); then "missing LINK"
# for each link or picture whose file does not exist, and "markup" when a <b> element is there.
rows() {
    python3 - "$1" "$work/out" <<'EOF'
import html.parser, os, sys, urllib.parse

class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.keys, self.rows, self.missing, self.bold, self.body = [], [], [], False, False
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.bold |= tag == "b"
        if tag == "th": self.keys.append(a.get("data-key"))
        if tag == "tbody": self.body = True
        if tag == "tr" and self.body: self.rows.append([])
        if tag == "td" and self.body: self.rows[-1].append(a.get("data-value"))
        link = a.get("href") if tag == "a" else a.get("src") if tag == "img" else None
        if link is not None and not os.path.isfile(os.path.join(sys.argv[2], urllib.parse.unquote(link))):
            self.missing.append(link)

page = Page()
page.feed(open(sys.argv[1], encoding="utf-8").read())
mc = page.keys.index("mc_mean")
for row in page.rows: print(row[0] + "\t" + (row[mc] or ""))
for link in page.missing: print("missing " + link)
if page.bold: print("markup")
EOF
}
rows plain.dom >plain.rows
rows sorted.dom >sorted.rows
check "the DOM holds every night, the failed one first" \
    '[ "$(cut -f1 plain.rows | tr "\n" "|")" = "broken <b>|night 1|night 2|" ]'
check "the failed night's id and reason are text, not markup" \
    '! grep -q "^markup" plain.rows && grep -q "broken &lt;b&gt;" plain.dom'
check "every link and picture points to an existing file" '! grep -q "^missing" plain.rows'
check "?sort=mc_mean orders the rows by MC mean, the failed night last" \
    '[ "$(wc -l <sorted.rows)" -eq 3 ] && [ -z "$(cut -f2 sorted.rows | tail -1)" ] &&
     [ -n "$(cut -f2 sorted.rows | head -1)" ] &&
     [ "$(cut -f2 sorted.rows | head -2 | sort -g | tr "\n" "|")" = "$(cut -f2 sorted.rows | head -2 | tr "\n" "|")" ]'
check "a screenshot of the page" '[ -s page.png ]'
[ -n "$screenshot" ] && [ -s page.png ] && cp page.png "$screenshot"
[ "$failures" -eq 0 ] || { cat browser.err tidy.err 2>/dev/null | tail -20; }
[ "$failures" -eq 0 ]
