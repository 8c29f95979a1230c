#!/usr/bin/env python3
"""Writes the workbook fixtures of the export tests, by hand, with Python's
zipfile: two-sheets.xlsx (the usual default namespaces) and
two-sheets-prefixed.xlsx (the same with prefixed element names, as some
generators write them). Run from this folder; the files are committed."""
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
CT = "http://schemas.openxmlformats.org/package/2006/content-types"
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'


def parts(p):
    """p: the prefix of the spreadsheet elements, '' or 'x:'."""
    ns = f'xmlns{":" + p[:-1] if p else ""}="{MAIN}"'
    return {
        "[Content_Types].xml": DECL + f'<Types xmlns="{CT}">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
        '<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
        '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
        '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
        '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
        '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
        "</Types>",
        "_rels/.rels": DECL + f'<Relationships xmlns="{PKG}">'
        f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/>'
        '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>'
        f'<Relationship Id="rId3" Type="{REL}/extended-properties" Target="docProps/app.xml"/>'
        "</Relationships>",
        "docProps/app.xml": DECL
        + '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">'
        "<Application>Fixture</Application></Properties>",
        "docProps/core.xml": DECL
        + '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" '
        'xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Zwei Blätter</dc:title></cp:coreProperties>',
        "xl/workbook.xml": DECL + f'<{p}workbook {ns} xmlns:r="{REL}">'
        f'<{p}bookViews><{p}workbookView activeTab="1"/></{p}bookViews>'
        f'<{p}sheets><{p}sheet name="Kunden" sheetId="1" r:id="rId1"/>'
        f'<{p}sheet name="Adressen" sheetId="7" r:id="rId2"/></{p}sheets>'
        f'<{p}definedNames><{p}definedName name="Liste">Kunden!$A$1:$B$2</{p}definedName>'
        f'<{p}definedName name="_xlnm.Print_Area" localSheetId="1">Adressen!$A$1:$A$3</{p}definedName>'
        f"</{p}definedNames></{p}workbook>",
        "xl/_rels/workbook.xml.rels": DECL + f'<Relationships xmlns="{PKG}">'
        f'<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
        f'<Relationship Id="rId2" Type="{REL}/worksheet" Target="/xl/worksheets/sheet2.xml"/>'
        f'<Relationship Id="rId3" Type="{REL}/styles" Target="styles.xml"/>'
        f'<Relationship Id="rId4" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
        "</Relationships>",
        "xl/worksheets/sheet1.xml": DECL + f"<{p}worksheet {ns}><{p}sheetData>"
        f'<{p}row r="1"><{p}c r="A1" t="s" s="1"><{p}v>0</{p}v></{p}c><{p}c r="B1"><{p}v>42</{p}v></{p}c></{p}row>'
        f'<{p}row r="2"><{p}c r="A2" t="s"><{p}v>1</{p}v></{p}c></{p}row>'
        f"</{p}sheetData></{p}worksheet>",
        "xl/worksheets/sheet2.xml": DECL + f"<{p}worksheet {ns}><{p}sheetData>"
        f'<{p}row r="3"><{p}c r="A3" t="inlineStr"><{p}is><{p}t>Lieferant</{p}t></{p}is></{p}c></{p}row>'
        f"</{p}sheetData></{p}worksheet>",
        "xl/sharedStrings.xml": DECL + f'<{p}sst {ns} count="2" uniqueCount="2">'
        f"<{p}si><{p}t>Müller</{p}t></{p}si><{p}si><{p}t>Straße</{p}t></{p}si></{p}sst>",
        "xl/styles.xml": DECL + f"<{p}styleSheet {ns}>"
        f'<{p}fonts count="2"><{p}font><{p}sz val="11"/><{p}name val="Calibri"/></{p}font>'
        f'<{p}font><{p}b/><{p}sz val="11"/><{p}name val="Calibri"/></{p}font></{p}fonts>'
        f'<{p}fills count="2"><{p}fill><{p}patternFill patternType="none"/></{p}fill>'
        f'<{p}fill><{p}patternFill patternType="gray125"/></{p}fill></{p}fills>'
        f'<{p}borders count="1"><{p}border><{p}left/><{p}right/><{p}top/><{p}bottom/><{p}diagonal/></{p}border></{p}borders>'
        f'<{p}cellStyleXfs count="1"><{p}xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></{p}cellStyleXfs>'
        f'<{p}cellXfs count="2"><{p}xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
        f'<{p}xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"/></{p}cellXfs>'
        f'<{p}cellStyles count="1"><{p}cellStyle name="Normal" xfId="0" builtinId="0"/></{p}cellStyles>'
        f"</{p}styleSheet>",
    }


for name, prefix in (("two-sheets.xlsx", ""), ("two-sheets-prefixed.xlsx", "x:")):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
        for part, text in parts(prefix).items():
            info = zipfile.ZipInfo(part, date_time=(2020, 5, 17, 10, 30, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode("utf-8"))
