#!/usr/bin/python3
"""Prints every sheet of an .xlsx file as JSON, read with openpyxl: for each sheet its name, its
cells row by row and the number format of each cell of the second row."""

import json
import sys

import openpyxl

workbook = openpyxl.load_workbook(sys.argv[1])
sheets = []
for sheet in workbook.worksheets:
    rows = [list(row) for row in sheet.iter_rows(values_only=True)]
    formats = [cell.number_format for cell in sheet[2]] if sheet.max_row >= 2 else []
    sheets.append({"name": sheet.title, "rows": rows, "formats": formats,
                   "frozen": sheet.freeze_panes})
json.dump(sheets, sys.stdout)
