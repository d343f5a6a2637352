#!/usr/bin/python3
"""Prints the first sheet of a workbook as JSON, read with openpyxl: every
non-empty cell ("row,column") with its value, type, bold and font colour
(RRGGBB or null), the sheet's size and the width of every column that has one."""
import datetime
import json
import sys

import openpyxl
from openpyxl.utils import column_index_from_string

ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
cells = {}
for cell in (x for row in ws.iter_rows() for x in row if x.value is not None):
    value, c = cell.value, cell.font.color
    cells[f"{cell.row},{cell.column}"] = {
        "value": value.isoformat() if isinstance(value, datetime.datetime) else value,
        "type": type(value).__name__,
        "bold": bool(cell.font.b),
        "colour": c.rgb[-6:].upper() if c is not None and c.type == "rgb" and isinstance(c.rgb, str) else None,
    }
widths = {column_index_from_string(k): v.width for k, v in ws.column_dimensions.items() if v.width}
json.dump({"max_row": ws.max_row, "max_column": ws.max_column, "cells": cells, "widths": widths},
          sys.stdout, ensure_ascii=False)
