#!/usr/bin/python3
"""Prints the first sheet of a workbook as JSON, read with openpyxl.

For every non-empty cell: its reference, value, type (str, int, float,
datetime), bold and font colour (RRGGBB or null); the sheet's size and the
width of every column that has one.
"""
import datetime
import json
import sys

import openpyxl


def colour(font):
    c = font.color
    if c is None or c.type != "rgb" or not isinstance(c.rgb, str):
        return None
    return c.rgb[-6:].upper()


def main(path):
    ws = openpyxl.load_workbook(path).worksheets[0]
    cells = {}
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            value = cell.value
            kind = type(value).__name__
            if isinstance(value, datetime.datetime):
                value = value.isoformat()
            cells[cell.coordinate] = {
                "value": value,
                "type": kind,
                "bold": bool(cell.font.b),
                "colour": colour(cell.font),
                "format": cell.number_format,
            }
    widths = {k: v.width for k, v in ws.column_dimensions.items() if v.width}
    json.dump({"max_row": ws.max_row, "max_column": ws.max_column, "cells": cells, "widths": widths},
              sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
