# Turns docs/cli.md into the zkdata(1) man page. Knows only what that page
# uses: headings, paragraphs, `code`, code blocks, "- " bullets, "term" /
# ": text" definitions and one table. Run: awk -v version=X -f md2man.awk cli.md
function roff(s) {
    gsub(/-/, "\\-", s)
    if (open && sub(/`/, "\\fR", s)) open = 0  # `code` begun on the line before
    while (match(s, /`[^`]*`/))
        s = substr(s, 1, RSTART - 1) "\\fB" substr(s, RSTART + 1, RLENGTH - 2) "\\fR" substr(s, RSTART + RLENGTH)
    if (sub(/`/, "\\fB", s)) open = 1
    if (s ~ /^[.']/) s = "\\&" s
    return s
}
function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
function flush() { if (pending != "") print ".PP\n" roff(pending); pending = "" }
BEGIN { code = 0; table = 0; pending = ""; start = 1 }
/^```/ { flush(); if (code) print ".fi\n.RE"; else print ".PP\n.RS 4\n.nf"; code = !code; next }
code { print roff($0); next }
/^# / { print ".TH ZKDATA 1 \"\" \"zk_data " version "\" \"User Commands\""; next }
/^## / { flush(); section = substr($0, 4); print ".SH " section; start = 1; next }
/^\|/ {
    flush()
    if (!table++ || $0 ~ /^\|[-|]+\|$/) next
    n = split($0, f, "|")
    print ".TP\n" roff(trim(f[2]) " (" trim(f[3]) ")") "\n" roff(trim(f[4]))
    next
}
/^[ \t]*$/ { flush(); start = 1; table = 0; next }
/^: / { print ".TP\n" roff(pending) "\n" roff(substr($0, 3)); pending = ""; start = 0; next }
/^- / { flush(); print ".IP \\(bu 2\n" roff(substr($0, 3)); start = 0; next }
{
    line = trim($0)
    if (section == "NAME") sub(/ — /, " - ", line)
    if (start) { pending = line; start = 0; next }
    flush()
    print roff(line)
}
END { flush() }
