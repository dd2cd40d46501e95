#!/bin/bash
# The grouped batch of sheets and files that are wide but hold few cells: every row its own group
# in the first column and one number in the last (column XFD of a workbook, field 16384 of a
# CSV). The columns between hold no cell at all and are no analytes; the batch should cost the
# cells present, not columns × groups. Last, a legal but hostile sheet: 16384 columns each with
# a heading, and rows each with its own group: one row per heading and group (the design's
# "数値がありません。" rows) is written, so its output grows as headings × groups; its memory
# should not. CPU time (user + system), wall time, peak memory and output rows from /usr/bin/time.
#   bash bench/batch_width.sh build/kijunchi-report [folder for the files, default /tmp]
set -euo pipefail
report=$(realpath "$1")
folder=${2:-/tmp}
python3 - "$folder" <<'EOF2'
import os, sys, zipfile
folder = sys.argv[1]

def workbook(path, rows, headings):
    if os.path.exists(path):
        return
    z = zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED)
    z.writestr('[Content_Types].xml', '<Types/>')
    z.writestr('_rels/.rels', '<Relationships><Relationship Id="r1" Type="x/officeDocument" '
               'Target="xl/workbook.xml"/></Relationships>')
    z.writestr('xl/workbook.xml', '<workbook xmlns:r="http://schemas.openxmlformats.org/'
               'officeDocument/2006/relationships"><sheets><sheet name="S" r:id="rId1"/>'
               '</sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships><Relationship Id="rId1" '
               'Type="x/worksheet" Target="s.xml"/></Relationships>')
    with z.open('xl/s.xml', 'w', force_zip64=True) as f:
        f.write(b'<worksheet><sheetData><row>')
        if headings:
            for c in range(1, 16385):
                f.write(b'<c r="%s1" t="inlineStr"><is><t>h%d</t></is></c>' % (col(c), c))
        else:
            f.write(b'<c r="A1" t="inlineStr"><is><t>g</t></is></c>'
                    b'<c r="XFD1" t="inlineStr"><is><t>Ca</t></is></c>')
        f.write(b'</row>')
        for r in range(2, rows + 2):
            f.write(b'<row><c r="A%d" t="inlineStr"><is><t>G%d</t></is></c><c r="XFD%d"><v>%d.5'
                    b'</v></c></row>' % (r, r, r, r % 97))
        f.write(b'</sheetData></worksheet>')
    z.close()

def col(c):
    s = b''
    while c:
        c, m = divmod(c - 1, 26)
        s = bytes([65 + m]) + s
    return s

workbook(folder + '/kijunchi-wide-100.xlsx', 100, False)
workbook(folder + '/kijunchi-wide-2000.xlsx', 2000, False)
workbook(folder + '/kijunchi-wide-headed-2000.xlsx', 2000, True)
path = folder + '/kijunchi-wide-100.csv'
if not os.path.exists(path):
    with open(path, 'w') as f:
        f.write('g' + ',' * 16383 + 'Ca\n')
        for r in range(100):
            f.write('G%d' % r + ',' * 16383 + '%d.5\n' % (r % 97))
EOF2
log=$(mktemp)
out=$(mktemp)
for name in wide-100.xlsx wide-2000.xlsx wide-100.csv wide-headed-2000.xlsx; do
  file="$folder/kijunchi-$name"
  set +e
  # The rows are counted as they come, not kept: the last file's table is some 3 GB.
  /usr/bin/time -f '%U %S %e %M' -o "$log" timeout 300 "$report" --batch --group 1 "$file" \
    2> /dev/null | wc -l > "$out"
  status=${PIPESTATUS[0]}
  set -e
  read -r user system wall kib < <(tail -1 "$log")
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
  printf '%-24s %8d bytes  exit %3d  CPU %7s s  wall %7s s  %6d MB  %9d rows\n' "$name" \
    "$(stat -c %s "$file")" "$status" "$cpu" "$wall" $((kib / 1024)) $(($(cat "$out") - 1))
done
rm -f "$log" "$out"
