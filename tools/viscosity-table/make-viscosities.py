#!/usr/bin/python3
"""Writes the viscosity table "Viscosities.xlsx" from the built-in media files.

Usage: make-viscosities.py <ParameterFiles directory> <output.xlsx>

One row per medium and used curve point: the first "Curve[1].L" points of the sub-device curve
("Curve[1][0]" temperatures in degrees Celsius, "Curve[1][1]" kinematic viscosities in m2/s).
Media come in the order of the program's medium list: by file name, ignoring case.
"""

import datetime
import json
import os
import sys

import xlsxwriter

SUFFIX = ".para.json"
HEADER = [
    "Number",
    "Medium",
    "Label",
    "Temperature (\u00b0C)",
    "Kinematic viscosity (m\u00b2/s)",
    "Kinematic viscosity (mm\u00b2/s)",
]
# A fixed creation time keeps the file the same from build to build.
CREATED = datetime.datetime(2026, 7, 28)


def parameters(sets, version=None):
    if not sets:
        raise ValueError("no parameter sets")
    chosen = sets[0] if version is None else next(s for s in sets if s["Version"] == version)
    return {p["Name"]: p["Value"] for p in chosen["Parameters"]}


def medium_rows(path):
    file_name = os.path.basename(path)
    number, _, rest = file_name[: -len(SUFFIX)].partition(" ")
    name = rest[len("ZEB_"):] if rest.startswith("ZEB_") else rest
    with open(path, encoding="utf-8") as f:
        document = json.load(f)
    label = parameters(document["DeviceParameterSets"]).get("ProductVariantName", "")
    curve = parameters(document["SubdeviceParameterSets"])
    used = int(curve["Curve[1].L"])
    temperatures = curve["Curve[1][0]"]
    viscosities = curve["Curve[1][1]"]
    if used < 0 or used > len(temperatures) or used > len(viscosities):
        raise ValueError(f"{file_name}: Curve[1].L is {used}, the curve holds "
                         f"{len(temperatures)} temperatures and {len(viscosities)} viscosities")
    for temperature, viscosity in zip(temperatures[:used], viscosities[:used]):
        # mm2/s is the unit data sheets use; rounding drops the binary noise of the factor 1e6.
        yield [number, name, label, temperature, viscosity, round(viscosity * 1e6, 9)]


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    directory, output = argv[1], argv[2]
    names = sorted((n for n in os.listdir(directory) if n.endswith(SUFFIX)), key=str.casefold)
    if not names:
        sys.stderr.write(f"make-viscosities: no media files in {directory}\n")
        return 1

    temporary = output + ".tmp"
    workbook = xlsxwriter.Workbook(temporary)
    workbook.set_properties({"title": "Kinematic viscosities of the ZEB-Conduit media",
                             "created": CREATED})
    sheet = workbook.add_worksheet("Viscosities")
    bold = workbook.add_format({"bold": True, "text_wrap": True, "valign": "top"})
    scientific = workbook.add_format({"num_format": "0.000E+00"})
    fixed = workbook.add_format({"num_format": "0.0000"})
    sheet.write_row(0, 0, HEADER, bold)
    row = 1
    for name in names:
        for values in medium_rows(os.path.join(directory, name)):
            sheet.write_string(row, 0, values[0])
            sheet.write_string(row, 1, values[1])
            sheet.write_string(row, 2, values[2])
            sheet.write_number(row, 3, values[3])
            sheet.write_number(row, 4, values[4], scientific)
            sheet.write_number(row, 5, values[5], fixed)
            row += 1
    sheet.set_column(0, 0, 8)
    sheet.set_column(1, 1, 34)
    sheet.set_column(2, 2, 20)
    sheet.set_column(3, 5, 16)
    sheet.freeze_panes(1, 0)
    sheet.autofilter(0, 0, row - 1, len(HEADER) - 1)
    workbook.close()
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
