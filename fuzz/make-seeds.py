# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the seeds of the sheet fuzz targets into fuzz/corpus/ from the project's own sheet files
# (docs/esempio.*, tests/cli/data, the reader tests' data). Run from anywhere with
# /usr/bin/python3 fuzz/make-seeds.py; the inputs the fuzzers found and kept there are left alone.
import pathlib
import re
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / 'fuzz' / 'corpus'

WORKBOOKS = ['docs/esempio.xlsx', 'docs/esempio.ods',
             'tests/core/workbook/data/formati.xlsx', 'tests/core/workbook/data/formati.ods',
             'tests/core/workbook/data/ritorno.xlsx', 'tests/core/workbook/data/ritorno.ods',
             'tests/cli/data/cognome-nome.xlsx', 'tests/cli/data/nascoste.ods',
             'tests/cli/data/istruzioni-openpyxl.xlsx', 'tests/cli/data/formula-openpyxl.xlsx']
FLAT = ['tests/core/workbook/data/formati.fods', 'tests/cli/data/nascoste.fods',
        'tests/cli/data/soci.fods']
CSV = ['docs/esempio.csv', 'tests/cli/data/cognome-nome.csv', 'tests/cli/data/titolo.csv',
       'tests/core/sheet/data/excel-1252.csv', 'tests/core/sheet/data/excel-utf8-bom.csv',
       'tests/core/sheet/data/libreoffice-comma-utf8.csv',
       'tests/core/sheet/data/libreoffice-semicolon-1252.csv',
       'tests/core/sheet/data/libreoffice-semicolon-utf8.csv']
# Built-in formats, which .xlsx files name by number only, each with a value it suits; the last two
# in the 1904 date system.
BUILTIN = [('0', '14', '46086'), ('0', '22', '46086.75'), ('0', '11', '1234.5'), ('0', '10', '0.125'),
           ('0', '18', '0.6'), ('0', '48', '-12345.678'), ('1', '14', '44624'), ('1', '47', '0.000123')]
# The parts the reader looks at; pictures, settings and document properties only make inputs longer.
READ_PARTS = re.compile(r'^(mimetype|content\.xml|META-INF/manifest\.xml|\[Content_Types\]\.xml|'
                        r'_rels/\.rels|xl/.*)$')


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def parts_form(path):
    """The package as the workbook target's parts: NUL, name, line end, bytes, for each part read."""
    with zipfile.ZipFile(path) as package:
        return b''.join(b'\0' + info.filename.encode() + b'\n' + package.read(info)
                        for info in package.infolist() if READ_PARTS.match(info.filename))


def number_seeds(path):
    """(format code, stored value) of every number cell of an .xlsx that has a style."""
    with zipfile.ZipFile(path) as package:
        styles = package.read('xl/styles.xml').decode()
        codes = {int(m.group(1)): m.group(2).replace('&quot;', '"').replace('&amp;', '&')
                 for m in re.finditer(r'<numFmt numFmtId="(\d+)" formatCode="([^"]*)"', styles)}
        cell_xfs = re.search(r'<cellXfs[^>]*>(.*?)</cellXfs>', styles, re.S).group(1)
        xf_ids = [int(m.group(1)) for m in re.finditer(r'<xf [^>]*numFmtId="(\d+)"', cell_xfs)]
        for name in package.namelist():
            if not name.startswith('xl/worksheets/'):
                continue
            sheet = package.read(name).decode()
            for m in re.finditer(r'<c r="[A-Z]+\d+" s="(\d+)"(?: t="n")?><v>([^<]*)</v>', sheet):
                xf_id = xf_ids[int(m.group(1))]
                yield codes.get(xf_id, f'\x00{xf_id}'), m.group(2)


def main():
    for source in WORKBOOKS:
        path = ROOT / source
        write('zip_fuzz', path.name, path.read_bytes())
        write('workbook_fuzz', path.name, path.read_bytes())
        write('workbook_fuzz', path.name + '.parts', parts_form(path))
    for source in FLAT:
        path = ROOT / source
        write('workbook_fuzz', path.name, path.read_bytes())
    for source in CSV:
        path = ROOT / source
        write('csv_fuzz', path.name, path.read_bytes())

    seen = set()
    for source in WORKBOOKS:
        if not source.endswith('.xlsx'):
            continue
        for code, value in number_seeds(ROOT / source):
            # A built-in format is named by number on the third line, after the date system.
            line = f'\n{value}\n0{code[1:]}' if code.startswith('\x00') else f'{code}\n{value}'
            if line in seen:
                continue
            seen.add(line)
            write('numberformat_fuzz', f'{pathlib.Path(source).stem}-{len(seen):02}', line.encode())
    for system, number, value in BUILTIN:
        write('numberformat_fuzz', f'builtin-{number}-{system}', f'\n{value}\n{system}{number}'.encode())


main()
