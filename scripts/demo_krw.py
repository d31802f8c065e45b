#!/usr/bin/env python3
"""Writes the demo practice's coding rule data: two editions of the coding rule master file
in demo/data/Kbv/ (third and fourth quarter of 2026), the AKR start dates per KV region
(demo/data/Kbv/AkrG.Dat), stored rule settings (demo/par.tsv) and rules switched off for single
patients (demo/freitext.tsv).

The rules are invented: they refer to the diagnoses of the demo catalogue demo/icd.tsv, so the
corrections of the details dialog find their catalogue texts. The files follow the published
layout: ISO-8859-15, CR LF, one element a line, every element indented. Run from anywhere:
    python3 scripts/demo_krw.py
"""
import csv
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
DEMO = os.path.join(ROOT, "demo")
KBV = os.path.join(DEMO, "data", "Kbv")

EDITIONS = {
    "q3": ("krw_1.40_74_tf+2026q3_nr1.xml", "2026-07-01..2026-09-30", "2026-06-12"),
    "q4": ("krw_1.40_74_tf+2026q4_nr1.xml", "2026-10-01..2026-12-31", "2026-09-11"),
}
RULE_COUNT = 50
EXPIRED = {7, 19, 33}          # only in the third quarter's edition
NEW = {46, 47, 48, 49, 50}     # only in the fourth quarter's edition

# Topics of the rules' sources: '1' the coding rules of the practice software, '2' the
# catalogue's own notes.
TOPICS = {
    "A": ("11", "Infektionen &amp; Erreger"),
    "C": ("12", "Neubildungen"),
    "E": ("13", "Stoffwechsel, Hormone"),
    "F": ("14", "Psyche &amp; Verhalten"),
    "G": ("15", "Nervensystem"),
    "I": ("16", "Herz und Kreislauf"),
    "J": ("17", "Atmung"),
    "K": ("18", "Verdauung, Mund und Kiefer"),
    "M": ("19", "Bewegungsapparat"),
    "U": ("20", "Sonderschlüssel"),
}
CATALOGUE_TOPIC = ("3", "Hinweise der Systematik")
CHECK_BASES = ["Diagnosen des Behandlungsfalls", "Dauerdiagnosen", "Abrechnungsdiagnosen"]


def catalogue():
    """The demo catalogue's terminal codes by three-character group, and every code's text."""
    texts, groups = {}, {}
    with open(os.path.join(DEMO, "icd.tsv"), encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            texts[row["code"]] = row["text"]
            if len(row["code"]) == 4:
                groups.setdefault(row["code"][:3], []).append(row["code"])
    return texts, groups


def dotted(code):
    return code[:3] + "." + code[3:] if len(code) > 3 else code


def validity(n):
    """Open ends, an open start, and closed periods for the rules that come and go."""
    if n in EXPIRED:
        return "2024-01-01..2026-09-30"
    if n in NEW:
        return "2026-10-01.."
    if n % 11 == 0:
        return "..2027-12-31"
    if n % 5 == 0:
        return "2025-01-01..2027-06-30"
    return "2026-01-01.." if n % 3 else "2011-07-01.."


def rule(n, texts, groups, edition):
    """One rule as (depth, line) pairs; the template rotates with n."""
    names = sorted(g for g in groups if len(groups[g]) >= 2)
    group = names[(n * 7) % len(names)]
    other = names[(n * 7 + 5) % len(names)]
    codes, others = groups[group], groups[other]
    specific, unspecific = dotted(codes[0]), dotted(codes[-1])
    name = texts[group]
    kind = n % 5
    out = []

    def el(depth, tag, v=None, dn=None):
        attrs = "" if v is None else ' V="%s"' % v
        attrs += "" if dn is None else ' DN="%s"' % dn
        out.append((depth, "<krw:%s%s/>" % (tag, attrs)))

    def open_(depth, tag, v=None):
        out.append((depth, "<krw:%s%s>" % (tag, "" if v is None else ' V="%s"' % v)))

    def close(depth, tag):
        out.append((depth, "</krw:%s>" % tag))

    def values(depth, vals):
        open_(depth, "value_liste")
        for v in vals:
            el(depth + 1, "value", v)
        close(depth, "value_liste")

    out.append((2, '<krw:kodierregel lfd_nr="%d">' % n))
    el(3, "id", "AKR%03d" % n)
    el(3, "service_tmr", validity(n))
    if kind == 0:
        short = "%s: unspezifisch neben spezifisch" % name
        long_ = ("Neben der spezifischen Diagnose %s ist im selben Behandlungsfall die "
                 "&quot;nicht n\u00e4her bezeichnete&quot; Diagnose %s kodiert." % (specific, unspecific))
    elif kind == 1:
        short = "%s: Verdacht und gesichert zugleich" % name
        long_ = ("Die Diagnose %s ist als Verdacht oder Zustand nach gekennzeichnet, "
                 "w\u00e4hrend %s gesichert vorliegt." % (specific, dotted(codes[1])))
    elif kind == 2:
        short = "%s ohne Begleitdiagnose" % name
        long_ = ("Zu %s fehlt in den letzten Quartalen die Begleitdiagnose %s (%s)."
                 % (specific, dotted(others[0]), texts[others[0]]))
    elif kind == 3:
        short = "%s: Seitenangabe fehlt" % name
        long_ = ("Bei %s ist die Seitenlokalisation anzugeben: R, L oder B." % specific)
    else:
        short = "%s &amp; %s schlie\u00dfen sich aus" % (name, texts[other])
        long_ = ("Die Diagnosen %s und %s d\u00fcrfen laut Systematik nicht nebeneinander "
                 "kodiert werden, Hinweis: Exklusivum." % (specific, dotted(others[0])))
    el(3, "beschreibung", long_)
    el(3, "kurz_beschreibung", short)
    el(3, "regelkategorie", str(1 + kind % 3))
    open_(3, "regelquelle_liste")
    open_(4, "regelquelle", "1")
    open_(5, "regelthema_liste")
    el(6, "regelthema", *TOPICS[group[0]])
    if kind == 2 and other[0] != group[0]:
        el(6, "regelthema", *TOPICS[other[0]])
    close(5, "regelthema_liste")
    close(4, "regelquelle")
    if kind == 4:
        open_(4, "regelquelle", "2")
        open_(5, "regelthema_liste")
        el(6, "regelthema", *CATALOGUE_TOPIC)
        close(5, "regelthema_liste")
        close(4, "regelquelle")
    close(3, "regelquelle_liste")
    el(3, "regelanwendung", "2" if n % 4 == 0 else "1")
    if kind == 2:
        open_(3, "bezugsraum", "21")
        el(4, "anzahl_quartale", str(1 + n % 4))
        close(3, "bezugsraum")
    else:
        el(3, "bezugsraum", "7")
    open_(3, "echtzeitpruefung_liste")
    el(4, "echtzeitpruefung", str(1 + n % 3))
    if n % 9 == 0:  # two values: the later one is in force
        el(4, "echtzeitpruefung", str(1 + (n + 1) % 3))
    close(3, "echtzeitpruefung_liste")
    open_(3, "pruefgrundlage_liste")
    el(4, "pruefgrundlage", CHECK_BASES[n % 3])
    if kind == 2 and n % 3 != 1:
        el(4, "pruefgrundlage", CHECK_BASES[1])
    close(3, "pruefgrundlage_liste")

    open_(3, "bedingung")
    el(4, "parameter", "ICD")
    el(4, "operator", "OR" if kind in (0, 4) else "AND")
    el(4, "existenz", "TRUE")
    if kind == 0:
        values(4, [unspecific])
    elif kind == 4:
        values(4, [dotted(c) for c in codes[:2]])
    else:
        values(4, [specific])
    if kind == 1:
        open_(4, "subbedingung")
        el(5, "parameter", "DS")
        el(5, "operator", "OR")
        el(5, "existenz", "TRUE")
        values(5, ["V", "Z"])
        close(4, "subbedingung")
    close(3, "bedingung")

    open_(3, "pruefung")
    if kind == 3:
        el(4, "parameter", "SL")
        el(4, "operator", "OR")
        el(4, "existenz", "FALSE")
        values(4, ["R", "L", "B"])
    else:
        el(4, "parameter", "ICD")
        el(4, "operator", "OR")
        el(4, "existenz", "FALSE" if kind == 2 else "TRUE")
        values(4, [dotted(c) for c in (codes[:-1] if kind == 0 else codes[1:2] if kind == 1
                                       else others[:1])])
    if kind == 1:
        open_(4, "subpruefung")
        el(5, "parameter", "DS")
        el(5, "operator", "AND")
        el(5, "existenz", "TRUE")
        values(5, ["G"])
        close(4, "subpruefung")
    el(4, "pruefung_existenz", "FALSE" if kind in (2, 3) else "TRUE")
    close(3, "pruefung")

    open_(3, "fehlerbehandlung")
    if kind == 0:
        hint = ("Die unspezifische Diagnose %s ist neben %s entbehrlich, da die spezifische "
                "Kodierung den Sachverhalt bereits beschreibt." % (unspecific, specific))
        proposal, action, fix, sub = "Streichen Sie die Diagnose %s." % unspecific, "DELETE", unspecific, None
    elif kind == 1:
        hint = ("Dieselbe Erkrankung kann im Behandlungsfall nicht zugleich als Verdacht und als "
                "gesichert kodiert sein.&#xA;Pr\u00fcfen Sie die Diagnosensicherheit.")
        proposal, action, fix, sub = ("Kennzeichnen Sie %s als gesichert (G) oder streichen Sie "
                                      "den Verdacht." % specific, "REPLACE", specific, ("DS", "G"))
    elif kind == 2:
        hint = ("Die Diagnose %s wird \u00fcblicherweise von %s begleitet; im Pr\u00fcfzeitraum ist "
                "keine solche Diagnose dokumentiert." % (specific, dotted(others[0])))
        proposal, action, fix, sub = ("Erg\u00e4nzen Sie %s, sofern der Befund vorliegt."
                                      % dotted(others[0]), "ADD", dotted(others[0]), None)
    elif kind == 3:
        hint = "Die Diagnose %s ist ohne Seitenangabe nicht abrechenbar." % specific
        proposal, action, fix, sub = ("Geben Sie die Seite an (R = rechts, L = links, B = beidseits).",
                                      "REPLACE", specific, ("SL", "B"))
    else:
        hint = ("Die Diagnosen %s und %s schlie\u00dfen sich gegenseitig aus." % (specific, dotted(others[0])))
        proposal, action, fix, sub = ("Behalten Sie die zutreffende Diagnose und streichen Sie %s."
                                      % dotted(others[0]), "DELETE", dotted(others[0]), None)
    if edition == "q4" and n % 6 == 0:
        proposal += " Beachten Sie die ge\u00e4nderte Fassung ab dem 4. Quartal."
    el(4, "hinweis", hint)
    el(4, "vorschlag", proposal)
    open_(4, "korrektur")
    el(5, "parameter", "ICD")
    el(5, "regel", action)
    if n % 2:
        values(5, [fix])
    else:
        el(5, "value", fix)
    if sub:
        open_(5, "subkorrektur")
        el(6, "parameter", sub[0])
        el(6, "regel", "ADD" if sub[0] == "SL" else "REPLACE")
        el(6, "value", sub[1])
        close(5, "subkorrektur")
    close(4, "korrektur")
    close(3, "fehlerbehandlung")
    close(2, "kodierregel")
    return out


def edition_text(edition, texts, groups):
    name, period, created = EDITIONS[edition]
    lines = [(1, '<ehd:ehd xmlns:ehd="urn:ehd/001" ehd_version="1.40">'),
             (2, "<ehd:header>"),
             (3, '<ehd:id EX="%s" RT="Dateikennung"/>' % name[:-4]),
             (3, '<ehd:document_type_cd V="KRW"/>'),
             (3, '<ehd:service_tmr V="%s"/>' % period),
             (3, '<ehd:origination_dttm V="%s"/>' % created),
             (3, "<ehd:provider>"),
             (4, "<ehd:organization>"),
             (5, '<ehd:id EX="74" RT="Absenderkennung"/>'),
             (5, '<ehd:organization.nm V="Kassen\u00e4rztliche Bundesvereinigung"/>'),
             (4, "</ehd:organization>"),
             (3, "</ehd:provider>"),
             (3, "<ehd:interface>"),
             (4, '<ehd:id EX="KRW"/>'),
             (4, '<ehd:interface.nm V="Kodierregelwerk"/>'),
             (4, '<ehd:version V="1.40"/>'),
             (4, '<ehd:description V="Stammdatei des Kodierregelwerks, Demo-Ausgabe"/>'),
             (3, "</ehd:interface>"),
             (2, "</ehd:header>"),
             (2, '<ehd:body xmlns:krw="urn:ehd/krw/001">')]
    for n in range(1, RULE_COUNT + 1):
        if (edition == "q3" and n in NEW) or (edition == "q4" and n in EXPIRED):
            continue
        lines += [(depth + 1, line) for depth, line in rule(n, texts, groups, edition)]
    lines += [(2, "</ehd:body>"), (1, "</ehd:ehd>")]
    body = "".join("  " * depth + line + "\r\n" for depth, line in lines)
    return '<?xml version="1.0" encoding="ISO-8859-15"?>\r\n' + body


# KV regions with the day the AKR applies there (invented dates of 2011).
AKR_DATES = [("01", "20110701"), ("02", "20110701"), ("03", "20110801"), ("17", "20110701"),
             ("20", "20110901"), ("38", "20110701"), ("46", "20111001"), ("51", "20110701"),
             ("52", "20110801"), ("71", "20110701"), ("72", "20111001"), ("73", "20110701"),
             ("78", "20110901"), ("83", "20110701"), ("88", "20110801"), ("93", "20110701"),
             ("98", "20111001")]

# Stored settings (application, status, real-time check): one rule switched off, one made
# fakultative with its check at billing and coding, one kept as published but checked always.
PAR_ROWS = [(" 29", "kAKR002", "204"), (" 29", "kAKR005", " 0 "), (" 29", "kAKR012", "115")]

# Rules switched off for single patients: patient, quarter, sequence, rule.
SWITCHES = [(1, "263", 0, "AKR003"), (1, "264", 0, "AKR004"), (1, "264", 1, "AKR011"),
            (4, "264", 0, "AKR021"), (7, "264", 0, "AKR046")]


def main():
    texts, groups = catalogue()
    os.makedirs(KBV, exist_ok=True)
    for edition in EDITIONS:
        with open(os.path.join(KBV, EDITIONS[edition][0]), "wb") as f:
            f.write(edition_text(edition, texts, groups).encode("iso-8859-15"))
    with open(os.path.join(KBV, "AkrG.Dat"), "wb") as f:
        f.write("".join("%s;%s\r\n" % row for row in AKR_DATES).encode("ascii"))
    with open(os.path.join(DEMO, "par.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("key1\tkey2\tvalue\n")
        f.writelines("%s\t%s\t%s\n" % row for row in PAR_ROWS)
    with open(os.path.join(DEMO, "freitext.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\t".join("f%d" % i for i in range(1, 11)) + "\n")
        for patient, quarter, seq, rule_id in SWITCHES:
            f.write("\t".join(["%10d" % patient, "!", quarter, "  0", "%3d" % seq, "", rule_id,
                               "", "", ""]) + "\n")


if __name__ == "__main__":
    main()
