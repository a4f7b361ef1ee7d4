# SPDX-License-Identifier: GPL-3.0-or-later
# Sheets as a script writes them with openpyxl: formulas are stored without a computed value.
import openpyxl

def book(path, sheets):
    wb = openpyxl.Workbook()
    wb.remove(wb.active)
    for title, rows, hidden in sheets:
        ws = wb.create_sheet(title)
        for r in rows:
            ws.append(r)
        for h in hidden:
            ws.row_dimensions[h].hidden = True
    wb.save(path)

head = ["Nome", "Indirizzo", "CAP", "Città", "Importo", "Conto", "Causale"]
members = [
    ["Mario Rossi", "Via Roma 1", "00184", "Roma", 35.5, "12345678", "Quota 2027"],
    ["Anna Bianchi", "Via Po 2", "10121", "Torino", 35.5, "12345678", "Quota 2027"],
    ["Luca Verdi", "Corso Italia 3", "20122", "Milano", 16.5, "12345678", "Quota 2027"],
]
# A total row beneath the list, its sum a formula with no stored value.
book("totale-openpyxl.xlsx", [("Soci", [head] + members + [["Totale", None, None, None, "=SUM(E2:E4)", None, None]], [])])
# A title, an empty row, the header on row 3.
book("titolo-openpyxl.xlsx", [("Soci", [["Elenco soci 2027"], [], head] + members, [])])
# Instructions on the first sheet, the list on the second.
book("istruzioni-openpyxl.xlsx", [("Istruzioni", [["Compilare il foglio Soci"], ["Una riga per socio"]], []),
                                  ("Soci", [head] + members, [])])
# An amount computed by a formula that no spreadsheet program has computed yet.
rows = [head] + [list(m) for m in members]
rows[2][4] = "=30+5.5"
book("formula-openpyxl.xlsx", [("Soci", rows, [])])
# A row hidden by its owner.
book("nascosta-openpyxl.xlsx", [("Soci", [head] + members, [3])])
# The list of titolo-openpyxl.xlsx edited after its slips were stored: Mario Rossi pays 40 instead of 35,50.
edited = [list(m) for m in members]
edited[0][4] = 40.0
book("modificato-openpyxl.xlsx", [("Soci", [["Elenco soci 2027"], [], head] + edited, [])])
