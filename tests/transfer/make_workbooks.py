#!/usr/bin/python3
"""Writes the workbooks the import tests read, with libraries made for it (openpyxl, xlwt).

make_workbooks.py FOLDER          the test workbooks
make_workbooks.py FOLDER ROWS     big.xlsx and big.csv of ROWS rows for the benchmark
"""
import csv
import datetime
import decimal
import os
import re
import sys
import zipfile

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904


def types_workbook(folder):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "データ"
    rows = [
        [1, "007", "日本語テキスト", 0.1],
        [2, 0.30000000000000004, "日本語テキスト", decimal.Decimal("1234.567891")],
        [3, datetime.date(2024, 2, 29), datetime.time(13, 45, 30, 250000), -0.000001],
        [4, datetime.datetime(2024, 3, 31, 2, 30, 0), True, 12345.678901234567],
        [5, None, None, 0],
        None,  # a row left out: skipped
        [7, 123456789012345678, False, 1e-7],
        [9, "  blanks kept  ", "tab\tand\nbreak", -5],
        [10, "3/4", "a_x000D_b", 1e20],
    ]
    for r, values in enumerate(rows, start=1):
        if values is None:
            continue
        for c, v in enumerate(values, start=1):
            if v is not None:
                ws.cell(row=r, column=c, value=v)
    # A styled cell without a value extends no row.
    ws.cell(row=5, column=6).number_format = "0.00"
    ws["B3"].number_format = "yyyy/mm/dd"
    ws["B4"].number_format = "yyyy-mm-dd hh:mm:ss"
    other = wb.create_sheet("エラー")
    other.append([1, "ok", "x", 1])
    other.append([2, "#N/A", "y", 2])
    other.append([3, "after", "z", 3])
    wb.save(os.path.join(folder, "types.xlsx"))

    wb = openpyxl.Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.append([1, datetime.date(2001, 2, 3), datetime.datetime(1904, 1, 1, 6, 0), 1])
    wb.save(os.path.join(folder, "mac.xlsx"))


def shared_workbook(folder):
    """Shared strings, rich text runs and formulas with their cached values, as spreadsheet
    applications save them (openpyxl writes inline strings and no cached values)."""
    import xlsxwriter

    wb = xlsxwriter.Workbook(os.path.join(folder, "shared.xlsx"))
    ws = wb.add_worksheet("共有")
    bold = wb.add_format({"bold": True})
    ws.write_number(0, 0, 1)
    ws.write_string(0, 1, "007")
    ws.write_string(0, 2, "繰り返し")
    ws.write_number(1, 0, 2)
    ws.write_rich_string(1, 1, "前半", bold, "太字", "後半")
    ws.write_string(1, 2, "繰り返し")
    ws.write_number(2, 0, 3)
    ws.write_formula(2, 1, "=1/3", None, 0.33333333333333331)
    ws.write_formula(2, 2, '="式"&"の値"', None, "式の値")
    ws.write_number(3, 0, 4)
    ws.write_string(3, 1, "")
    ws.write_formula(3, 2, "=1=1", None, True)
    wb.close()


def xls_workbook(folder):
    import xlwt

    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("古い形式")
    date = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    ws.write(0, 0, 1)
    ws.write(0, 1, "007")
    ws.write(0, 2, "日本語")
    ws.write(0, 3, 0.1)
    ws.write(1, 0, 2)
    ws.write(1, 1, datetime.date(2024, 2, 29), date)
    ws.write(1, 3, 1234.5)
    wb.add_sheet("二枚目").write(0, 0, 1)
    wb.save(os.path.join(folder, "old.xls"))


def big_workbook(folder, count):
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("rows")
    with open(os.path.join(folder, "big.csv"), "w", newline="", encoding="utf-8") as out:
        writer = csv.writer(out, lineterminator="\r\n", quoting=csv.QUOTE_NONNUMERIC)
        for i in range(1, count + 1):
            row = [i, "名前%07d" % i, i * 0.25, "code%d" % (i % 1000), i % 7]
            ws.append(row)
            writer.writerow(row)
    wb.save(os.path.join(folder, "big.xlsx"))


if __name__ == "__main__":
    target = sys.argv[1]
    if len(sys.argv) > 2:
        big_workbook(target, int(sys.argv[2]))
    else:
        types_workbook(target)
        shared_workbook(target)
        xls_workbook(target)
