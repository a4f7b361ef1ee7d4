# SPDX-License-Identifier: GPL-3.0-or-later
# Flat OpenDocument sheets written by hand, for LibreOffice to save as .ods and .xlsx.
HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
  office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet>
'''
TAIL = ''' </office:spreadsheet></office:body>
</office:document>
'''

def cell(v):
    if v is None:
        return '<table:table-cell/>'
    if isinstance(v, tuple):  # a formula
        return '<table:table-cell table:formula="of:=%s" office:value-type="float" office:value="0"><text:p>0</text:p></table:table-cell>' % v[0]
    if isinstance(v, float):
        return '<table:table-cell office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>' % (v, v)
    return '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % v

def sheet(name, rows, visibility={}):
    out = ' <table:table table:name="%s">\n' % name
    for i, r in enumerate(rows, 1):
        vis = ' table:visibility="%s"' % visibility[i] if i in visibility else ''
        out += '  <table:table-row%s>%s</table:table-row>\n' % (vis, ''.join(cell(v) for v in r))
    return out + ' </table:table>\n'

def write(path, sheets):
    with open(path, 'w', encoding='utf-8') as f:
        f.write(HEAD + ''.join(sheets) + TAIL)

head = ["Nome", "Indirizzo", "CAP", "Città", "Importo", "Conto", "Causale"]
people = [
    ["Mario Rossi", "Via Roma 1", "00184", "Roma", 35.5, "12345678", "Quota 2027"],
    ["Anna Bianchi", "Via Po 2", "10121", "Torino", 35.5, "12345678", "Quota 2027"],
    ["Luca Verdi", "Corso Italia 3", "20122", "Milano", 16.5, "12345678", "Quota 2027"],
    ["Sara Neri", "Via Etnea 4", "95124", "Catania", 20.0, "12345678", "Quota 2027"],
]
# Row 3 hidden by its owner, row 5 left out by a filter.
write("nascoste.fods", [sheet("Soci", [head] + people, {3: "collapse", 5: "filter"})])
# Separate surname and first name, the province, the amount as "Quota", the account as "C/C postale";
# a total row named "Totale" and, under it, a row holding only a sum.
head2 = ["Cognome", "Nome", "Indirizzo", "CAP", "Città", "Prov.", "Quota", "C/C postale"]
rows2 = [head2,
         ["Rossi", "Mario", "Via Roma 1", "00184", "Roma", "RM", 35.0, "12345678"],
         ["Bianchi", "Anna", "Via Po 2", "10121", "Torino", "TO", 35.0, "12345678"],
         ["Verdi", "Luca", "Corso Italia 3", "20122", "Milano", "MI", 17.5, "12345678"],
         ["Totale", None, None, None, None, None, ("SUM([.G2:.G4])",), None],
         [None, None, None, None, None, None, ("SUM([.G2:.G4])",), None]]
write("cognome-nome.fods", [sheet("Soci", rows2)])
# The list an association keeps: members only, no amount, account, payee or reason.
head3 = ["Cognome", "Nome", "Indirizzo", "CAP", "Città"]
rows3 = [head3,
         ["Rossi", "Mario", "Via Roma 1", "00184", "Roma"],
         ["Bianchi", "Anna", "Via Po 2", "10121", "Torino"]]
write("soci.fods", [sheet("Soci", rows3)])
