#!/bin/bash
# A workbook of a million rows, each with one number at the sheet's last column (XFD, column
# 16384) and a group label in column A: CPU time (user + system), wall time and peak memory of
# the views of kijunchi-report that read it, from /usr/bin/time. A row costs its cells, not the
# width of the sheet: each view should stay within 10 s of CPU and 4 × the inflated size (about
# 40 MB) + 64 MB.
#   bash bench/sparse_sheet.sh build/kijunchi-report [folder for the file, default /tmp]
set -euo pipefail
# shellcheck source=bench/time_view.sh
source "$(dirname "$0")/time_view.sh"
report=$(realpath "$1")
folder=${2:-/tmp}
file="$folder/kijunchi-sparse-sheet.xlsx"
if [ ! -f "$file" ]; then
  python3 - "$file" <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)
z.writestr('[Content_Types].xml', '<Types/>')
z.writestr('_rels/.rels', '<Relationships><Relationship Id="r1" Type="x/officeDocument" '
           'Target="xl/workbook.xml"/></Relationships>')
z.writestr('xl/workbook.xml', '<workbook xmlns:r="http://schemas.openxmlformats.org/'
           'officeDocument/2006/relationships"><sheets><sheet name="S" r:id="rId1"/></sheets>'
           '</workbook>')
z.writestr('xl/_rels/workbook.xml.rels', '<Relationships><Relationship Id="rId1" '
           'Type="x/worksheet" Target="s.xml"/></Relationships>')
with z.open('xl/s.xml', 'w', force_zip64=True) as f:
    f.write(b'<worksheet><sheetData><row><c r="A1" t="inlineStr"><is><t>sex</t></is></c>'
            b'<c r="XFD1" t="inlineStr"><is><t>Ca</t></is></c></row>')
    for r in range(2, 1000002):
        f.write(b'<row><c r="A%d" t="inlineStr"><is><t>%s</t></is></c><c r="XFD%d"><v>%d.5</v>'
                b'</c></row>' % (r, b'MF'[r % 2:r % 2 + 1], r, r % 97))
    f.write(b'</sheetData></worksheet>')
z.close()
EOF
fi
ls -l "$file"
for view in "--column 16384 --show summary" "--group sex --column Ca" "--batch --group sex" \
  "--batch"; do
  time_view 42 "$report" "$view" "$file"
done
