#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/ (deterministic).

Pipeline entries start with two bytes: the class-count byte and the λ byte (0: no λ, otherwise
the λ text is the next byte-1 bytes); the pasted text follows.
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def column(values, end="\r\n"):
    return "".join(f"{v}{end}" for v in values)


rng = random.Random(7)
glucose = [round(rng.gauss(95, 9), 0) for _ in range(120)]
alt = [round(math.exp(rng.gauss(3.0, 0.45)), 1) for _ in range(200)]
creatinine = [round(rng.gauss(0.85, 0.15), 2) for _ in range(60)]

numbers = {
    "plain": "12.5", "blanks": " 1 234 ", "comma": "1,234", "exponent": "-2.5E1",
    "d_exponent": "1.5D-3", "hex": "&HFF", "octal": "&o777", "hex_empty": "&H",
    "mark_only": "1e", "mark_sign": "1E+", "neg_zero": "  \t\n-0", "lead_point": ".5",
    "trail_point": "5.", "overflow": "1E999", "underflow": "1E-400", "huge_hex": "&H" + "F" * 260,
    "heading": "Value", "fullwidth": "１２", "subnormal": "4.9406564584124654E-324",
    "largest": "1.7976931348623157E308", "small": "0.1E-4", "suffix": "12abc",
    "signs": "+.5e+2", "double_sign": "--1", "two_points": "1..2", "cr": "1\r2",
    "long_digits": "3." + "1415926535" * 40, "binary": b"\xff\xfe1\x00\x80",
}
for name, text in numbers.items():
    write("fuzz_lenient_number", name, text)

pastes = {
    "glucose_crlf": "GLU(mg/dL)\r\n" + column(glucose),
    "alt_lf": column(alt, "\n"),
    "creatinine_mixed": "".join(str(v) + ("\r\n" if i % 2 else "\n") for i, v in enumerate(creatinine)),
    "tab_block": "1\t2\t3\r\n4\t5\r\n",
    "empty_cell": "1\t\t3\r\n4",
    "leading_tab": "\t7\r\n8\r\n",
    "trailing_tab": "5\t\r\n",
    "empty_line": "12\r\n15.5\r\n\r\n20\r\n",
    "starts_empty": "\r\n12\r\n",
    "lone_cr": "12\r13\r\n14\r\r\n",
    "hex_octal_exp": "&H1F\n&O17\n1.5E2\n2D-1\n-2.5E1\n",
    "blanks_comma": "1 234\r\n1,234\r\n 7 \r\n",
    "values_1200": column(range(1, 1201), "\n"),
    "over_5000": "1\n" * 5001,
    "bom_heading": "\ufeffValue\r\n12\r\n",
    "binary": bytes(range(256)),
    "japanese": "検査値\t単位\r\n１２\tmg/dL\r\n13\tmg/dL\r\n",
}
for name, text in pastes.items():
    write("fuzz_paste_reader", name, text)


def pipeline(classes, lam, text):
    head = bytes([classes]) + (b"\x00" if lam is None else bytes([len(lam.encode()) + 1]) + lam.encode())
    return head + (text.encode("utf-8") if isinstance(text, str) else text)


cases = {
    "glucose_5": pipeline(5, None, "GLU\r\n" + column(glucose)),
    "alt_log": pipeline(5, "0", column(alt, "\n")),
    "alt_half": pipeline(10, "0.50", column(alt, "\n")),
    "alt_twice_classes": pipeline(8, "-0.5", column(alt)),
    "empty_lambda": pipeline(5, "", column(creatinine)),
    "lambda_text": pipeline(5, "0.5abc", column(creatinine)),
    "log_of_zero": pipeline(5, "0", "0\r\n1\r\n2\r\n"),
    "negative_fractional": pipeline(5, "0.5", "-1\n2\n3\n4\n"),
    "negative_whole": pipeline(6, "2", "-1\n2\n-3\n4\n5\n"),
    "overflow_lambda": pipeline(5, "3", "1E200\n2E200\n3E200\n"),
    "hex_lambda": pipeline(5, "&H2", "1\n2\n3\n4\n5\n"),
    "classes_3": pipeline(3, None, column(range(1, 11))),
    "classes_text": pipeline(240, None, column(range(1, 11))),
    "classes_big": pipeline(239, None, column(creatinine)),
    "round_up_classes": pipeline(4, None, "1000\n1000.1\n1000.2\n1000.5\n"),
    "one_to_ten": pipeline(5, None, column(range(1, 11))),
    "one_value": pipeline(5, None, "7\n"),
    "two_values": pipeline(5, "1", "7\n8\n"),
    "three_values": pipeline(5, None, "7\n8\n9\n"),
    "all_equal": pipeline(5, None, "4\n" * 20),
    "huge_spread": pipeline(5, None, "1E300\n-1E300\n1\n2\n3\n"),
    "tiny_values": pipeline(5, "0", "1E-300\n2E-300\n3E-300\n5E-300\n"),
    "no_data": pipeline(5, None, "\r\n12\r\n"),
    "tab_block": pipeline(7, None, "1\t2\t3\r\n4\t5\t6\r\n7\t8\r\n9\r\n10\t11\r\n"),
    "over_5000": pipeline(5, None, "1\n2\n" * 2501),
    "bom": pipeline(5, None, "\ufeff" + column(glucose[:30])),
    "binary": pipeline(5, "1", bytes(range(256))),
}
for name, data in cases.items():
    write("fuzz_pipeline", name, data)

# fuzz_indirect_extract: the first byte chooses the options (value column 1 + b % 3; 0x04 group
# column 2; 0x08 age column 3 with bands; 0x10 count column 4; 0x20 patient column 4, first per
# patient); the rest is the extract.
import gzip

extract = "値,性別,年齢,ID\r\n" + "".join(
    f"{v},{'男' if i % 2 else '女'},{i % 90},P{i % 17}\r\n"
    for i, v in enumerate(["5.1", "<0.02", "0.02未満", "＜０．０２", "1000以上", "1000超", ">1000",
                           "≦5", "\"1,234\"", "1e999", "1.5.2", "陰性", "", "4.9", "12"]))
summary = "群\t値\t件数\r\n\"a\tb\"\t<0.5\t3\r\n'=HYPERLINK(\"x\")\t1.5\t9223372036854775807\r\n" \
          "\"line\nbreak\"\t2\t1\r\n\"q\"\"uote\"\t3\t1,234\r\n"
cases = {
    "plain_all": bytes([0x0C]) + extract.encode(),
    "first_per_patient": bytes([0x24]) + extract.encode(),
    "summary_counts": bytes([0x10 | 0x04 | 1]) + summary.encode(),
    "sjis": bytes([0x04]) + extract.replace("≦5", "5").replace("＜０．０２", "0.01").encode("cp932"),
    "utf16": bytes([0x08]) + b"\xff\xfe" + extract.encode("utf-16-le"),
    "gzip": bytes([0x04]) + gzip.compress(extract.encode(), mtime=0),
    "undecodable": bytes([0x00]) + b"\xe5\x80\xa4\n1\n\x82\xa0\n2\n\xff\xfe\n3\n",
    "lone_cr": bytes([0x04]) + b"a,b\r1,x\r2,y\r\n3,z\n",
}
for name, data in cases.items():
    write("fuzz_indirect_extract", name, data)

# fuzz_adopted_table: the first byte chooses the row looked up (low four bits), the sex (bits 4-5:
# none, male, female) and the age (bits 6-7: none, the row's lower age, 40, 10^6); the rest is a
# table of adopted intervals. "jccls" is the built-in table in the CSV form, its rows taken from
# the source so that the seed follows the table.
import re

adopted_heading = "項目,単位,性別,年齢下限,年齢上限,下限,上限,出典"
with open(os.path.join(HERE, "..", "src", "adopted", "adopted_table.cpp"), encoding="utf-8") as f:
    builtin = re.findall(r'jccls\("([^"]+)", \{[^}]*\}, "([^"]*)", ([CMF]), ([0-9.]+), ([0-9.]+)\)',
                         f.read())
sexes = {"C": "共通", "M": "男", "F": "女"}
jccls_csv = adopted_heading + "\r\n" + "".join(
    f"{a},{u},{sexes[s]},,,{lo},{hi},JCCLS 2019/01/25\r\n" for a, u, s, lo, hi in builtin)
own = (adopted_heading + "\n"
       "Hb,g/dL,男,18,65,13.5,17.0,\"自施設, 2024\"\n"
       "Hb,g/dL,女,18,65,11.5,15.0,自施設\n"
       "Hb,g/dL,共通,65,,11.0,16.0,自施設\n"
       "ＡＳＴ,U/L,,,,13,30,自施設\n")
row = "AST,U/L,共通,,,13,30,x\n"
cases = {
    "jccls": bytes([0x10 | 5]) + jccls_csv.encode(),
    "own_ages": bytes([0x40 | 0x10 | 0]) + own.encode(),
    "own_age_40": bytes([0x80 | 0x20 | 1]) + own.encode(),
    "sjis": bytes([0x20 | 1]) + own.encode("cp932"),
    "utf16_tsv": bytes([0]) + b"\xff\xfe" + own.replace(",", "\t").replace("\t2024", " 2024")
    .encode("utf-16-le"),
    "decimal_comma": bytes([0]) + (adopted_heading.replace(",", ";") +
                                   "\r\nAST;U/L;;;;13,5;30,25;x\r\n").encode(),
    "lone_cr_blank_lines": bytes([0]) + (adopted_heading + "\r\r" + row.replace("\n", "\r")).encode(),
    "grouped_quoted": bytes([0]) + (adopted_heading + "\nAST,U/L,,,,\"1,234\",\"12,345.5\",x\n")
    .encode(),
    "unquoted_group": bytes([0]) + (adopted_heading + "\nAST,U/L,,,,1,234,30,x\n").encode(),
    "duplicate_rows": bytes([0]) + (adopted_heading + "\n" + row + "ast,U/L,共通,,,14,31,y\n").encode(),
    "tab_in_name": bytes([0]) + (adopted_heading + "\n\"A\tST\",U/L,,,,13,30,x\n").encode(),
    "line_break_source": bytes([0]) + (adopted_heading + "\nAST,U/L,,,,13,30,\"a\nb\"\n").encode(),
    "hyperlink": bytes([0]) + (adopted_heading +
                               "\n\"=HYPERLINK(\"\"http://x\"\",\"\"AST\"\")\",U/L,,,,13,30,"
                               "\"=HYPERLINK(\"\"http://e\"\")\"\n").encode(),
    "non_finite": bytes([0]) + (adopted_heading + "\nAST,,,,,nan,inf,x\nALT,,,,,1e400,2,x\n").encode(),
    "equal_limits": bytes([0]) + (adopted_heading + "\nAST,,,,,13,13,x\n").encode(),
    "ages_reversed": bytes([0]) + (adopted_heading + "\nAST,,,65,18,13,30,x\nALT,,,-1,,1,2,x\n").encode(),
    "heading_twice": bytes([0]) + (adopted_heading + ",下限\n" + row.strip() + ",1\n").encode(),
    "missing_heading": bytes([0]) + "項目,単位,性別,年齢下限,年齢上限,下限,出典\nAST,,,,,13,x\n".encode(),
    "nul": bytes([0]) + (adopted_heading + "\n").encode() + b"AST\x00,,,,,13,30,x\n",
    "invalid_utf8": bytes([0]) + (adopted_heading + "\n").encode() + b"AST\xff,,,,,13,30,x\n",
}
for name, data in cases.items():
    write("fuzz_adopted_table", name, data)
