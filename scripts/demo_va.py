#!/usr/bin/env python3
"""Writes the demo practice's coding manual: two editions of the manual's master file in
demo/data/Kbv/ (third and fourth quarter of 2026; the third smaller, so it is plain which one the
viewer took).

The guidance is invented. Its chapters carry exactly the chapter ids that the demo catalogue
demo/icd.tsv lists in its column vachapters, so every demo code finds its chapters, plus a few
chapters no code refers to. The files follow the published layout: ISO-8859-15, CR LF, one
element a line, indented, the texts as the elements' own text. Run from anywhere:
    python3 scripts/demo_va.py
"""
import csv
import os
import re
from xml.sax.saxutils import escape

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
DEMO = os.path.join(ROOT, "demo")
KBV = os.path.join(DEMO, "data", "Kbv")

EDITIONS = {
    "q3": ("VA_1.0_74_tf+2026q3_nr+1.xml", "2026-07-01..2026-09-30", "2026-06-19"),
    "q4": ("VA_1.0_74_tf+2026q4_nr+1.xml", "2026-10-01..2026-12-31", "2026-09-18"),
}

# Chapters of the general part; their ids are referred to by no code.
GENERAL = [("VA000100", "Allgemeine Kodierrichtlinien"), ("VA000200", "Spezielle Kodierrichtlinien")]

THEMES = ["Kodierung der Grunderkrankung", "Akute und chronische Verläufe",
          "Folgezustände und Rezidive", "Seitenangabe und Lokalisation",
          "Verdachts- und Ausschlussdiagnosen", "Kombinationsschlüssel",
          "Abgrenzung zu verwandten Schlüsselnummern", "Dauerdiagnosen in der Praxis"]

ADVICE = [
    "Verschlüsseln Sie die Diagnose so spezifisch, wie es die Befunde des Behandlungsfalls "
    "erlauben. Eine Resteklasse (.8 oder .9) ist nur dann zu wählen, wenn keine genauere "
    "Angabe möglich ist.",
    "Bei einem akuten Schub einer bekannten chronischen Erkrankung werden beide Zustände "
    "angegeben, sofern die Systematik dafür getrennte Schlüsselnummern vorsieht.",
    "Folgezustände werden nur dann verschlüsselt, wenn sie im Quartal behandelt oder "
    "überwacht wurden; eine abgelaufene Erkrankung allein ist keine Behandlungsdiagnose.",
    "Die Seitenangabe (R, L oder B) ist anzugeben, wenn paarige Organe oder Körperteile "
    "betroffen sind. Fehlt sie, prüft die Praxissoftware beim Speichern nach.",
    "Eine Verdachtsdiagnose wird mit dem Zusatzkennzeichen V versehen; bestätigt sich der "
    "Verdacht nicht, ist sie im Folgequartal als Ausschlussdiagnose (A) zu führen.",
    "Wo die Systematik einen Kombinationsschlüssel anbietet, ist dieser den einzelnen "
    "Schlüsselnummern vorzuziehen. Ätiologie & Manifestation gehören dann in einen Schlüssel.",
    "Prüfen Sie vor der Auswahl die Exklusiva der Kategorie: Häufig gehört ein Zustand, der "
    "ähnlich klingt, in ein anderes Kapitel der Systematik.",
    "Dauerdiagnosen werden in jedem Quartal erneut bewertet und nur übernommen, wenn sie die "
    "Behandlung im Quartal beeinflusst haben.",
]

EXAMPLES = [
    "Eine Patientin stellt sich mit seit drei Tagen bestehenden Beschwerden vor; der Befund "
    "bestätigt die Diagnose. Zu verschlüsseln: %s G.",
    "Ein Patient kommt zur Kontrolle nach abgeschlossener Behandlung; es bestehen keine "
    "Beschwerden mehr. Zu verschlüsseln ist nur der Anlass der Kontrolle, nicht %s.",
    "Bei einem Kind mit Fieber < 38,5 °C und unklarem Befund: %s V, bis die Laborwerte "
    "vorliegen.",
    "Überweisung zur Mitbehandlung mit gesicherter Diagnose der Vorbehandlerin: %s G wird "
    "übernommen, sofern der eigene Befund sie stützt.",
]


def dotted(code):
    return code[:3] + "." + code[3:] if len(code) > 3 else code


def chapters_of_catalogue():
    """Every chapter id of the demo catalogue, in first use, with the codes that refer to it."""
    order, codes = [], {}
    with open(os.path.join(DEMO, "icd.tsv"), encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            for cid in re.findall(r".{1,8}", row["vachapters"]):
                if cid not in codes:
                    order.append(cid)
                    codes[cid] = []
                codes[cid].append((row["code"], row["text"]))
    return order, codes


class Writer:
    def __init__(self):
        self.lines = []
        self.depth = 0

    def raw(self, line):
        self.lines.append("  " * self.depth + line)

    def open(self, name, v=None):
        self.raw("<va:%s%s>" % (name, ' V="%s"' % v if v else ""))
        self.depth += 1

    def close(self, name):
        self.depth -= 1
        self.raw("</va:%s>" % name)

    def text(self, name, text):
        self.raw("<va:%s>%s</va:%s>" % (name, escape(text), name))

    def titel(self, text):
        self.raw('<va:titel V="%s"/>' % escape(text, {'"': "&quot;"}))

    def table(self, rows):
        """rows: lists of cells; a cell is text, or ("th", text), or a list of (element, text)."""
        self.open("table")
        for row in rows:
            self.open("tr")
            for cell in row:
                if isinstance(cell, tuple):
                    self.text(*cell)
                elif isinstance(cell, list):
                    self.open("td")
                    for element, text in cell:
                        self.text(element, text)
                    self.close("td")
                else:
                    self.text("td", cell)
            self.close("tr")
        self.close("table")


def general_part(w, edition):
    w.open("kapitel", "VA000110")
    w.titel("Grundsätze der Diagnosenverschlüsselung")
    w.text("p", "Die Diagnosen eines Behandlungsfalls werden nach der jeweils gültigen "
                "Ausgabe der ICD-10-GM verschlüsselt. Maßgeblich ist, was im Quartal behandelt, "
                "untersucht oder überwacht wurde.")
    w.text("div", "Für die Auswahl der Schlüsselnummer gilt:")
    w.open("ul")
    w.text("li", "so spezifisch wie möglich, so allgemein wie nötig")
    w.text("li", "jede Diagnose nur einmal je Behandlungsfall")
    w.text("li", "Symptome nur dann, wenn keine gesicherte Diagnose vorliegt oder das Symptom "
                 "selbst behandelt wurde, etwa Schmerzen, die eine eigene Therapie erfordern, "
                 "oder Beschwerden, die über die Grunderkrankung hinausgehen und die Praxis "
                 "zusätzlich beschäftigen")
    if edition == "q4":
        w.text("li", "Zusatzkennzeichen für Sicherheit & Seite immer vollständig angeben")
    w.close("ul")
    w.close("kapitel")

    w.open("kapitel", "VA000120")
    w.titel("Zusatzkennzeichen für die Diagnosensicherheit")
    w.text("p", "Jede Diagnose trägt genau ein Kennzeichen der Sicherheit:")
    w.table([[("th", "Kennzeichen"), ("th", "Anwendung in der Praxis")],
             ["G gesicherte Diagnose",
              "wenn die Diagnose nach den Befunden des Quartals feststeht, auch wenn sie "
              "von einer anderen Praxis übernommen und durch eigene Befunde bestätigt wurde"],
             ["V Verdacht auf", "solange die Abklärung noch läuft"],
             ["Z Zustand nach",
              "für abgelaufene Erkrankungen, die noch Einfluss auf die Behandlung haben"],
             ["A ausgeschlossene Diagnose",
              "wenn ein früherer Verdacht im Quartal widerlegt wurde"]])
    w.close("kapitel")

    w.open("kapitel", "VA000130")
    w.titel("Seitenlokalisation")
    w.open("div")
    w.text("p", "Bei paarigen Organen gibt das Seitenkennzeichen an, welche Seite betroffen "
                "ist. Es steht hinter dem Kennzeichen der Sicherheit.")
    w.close("div")
    w.table([[("th", "Zeichen"), ("th", "Seite"), ("th", "Beispiel")],
             ["R", "rechts", "Knieschmerz rechts"],
             ["L", "links"],
             ["B", "beidseitig", "Sehstörung beider Augen"]])
    w.close("kapitel")

    if edition == "q4":
        w.open("kapitel", "VA000140")
        w.titel("Ätiologie und Manifestation")
        w.text("p", "Manche Krankheiten werden mit zwei Schlüsselnummern angegeben: eine für "
                    "die Ursache, eine für die Erscheinungsform im Organ.")
        w.table([[("th", "Ursache"), ("th", "Manifestation"), ("th", "Hinweis")],
                 ["Zuckerverwertungsstörung", "Augenbeteiligung",
                  [("p", "Beide Schlüssel angeben."),
                   ("div", "Die Reihenfolge richtet sich nach dem Anlass des Besuchs, "
                           "nicht nach der Systematik.")]],
                 ["Wanderkeim-Befall", "Gelenkbeteiligung",
                  [("p", "Nur bei gesicherter Ursache; sonst Symptom & Verdacht kodieren.")]]])
        w.close("kapitel")


def special_chapter(w, n, cid, codes, edition):
    code, text = codes[0]
    w.open("kapitel", cid)
    w.titel("%s: %s (%s)" % (THEMES[n % len(THEMES)], text, dotted(code)))
    listed = ", ".join(dotted(c) for c, _ in codes)
    w.text("p", "Dieser Abschnitt gilt für %s. %s" % (listed, ADVICE[n % len(ADVICE)]))
    if n % 3 == 0:
        w.open("div")
        w.text("p", "Beispiel: " + EXAMPLES[n % len(EXAMPLES)] % dotted(code))
        w.close("div")
    elif edition == "q4":
        w.text("div", "Beispiel: " + EXAMPLES[n % len(EXAMPLES)] % dotted(code))
    if n % 25 == 7:
        w.table([[("th", "Befund"), ("th", "Schlüssel")],
                 ["bestätigt durch Labor oder Bildgebung", dotted(code) + " G"],
                 ["klinischer Verdacht", dotted(code) + " V"],
                 ["nach Abschluss der Behandlung, Kontrolle ohne Befund", "kein Schlüssel"]])
    w.close("kapitel")


def edition_text(edition):
    name, period, created = EDITIONS[edition]
    order, codes = chapters_of_catalogue()
    w = Writer()
    w.depth = 2
    w.open("hauptkapitel", GENERAL[0][0])
    w.titel(GENERAL[0][1])
    w.text("p", "Diese Anleitung erläutert, wie die Diagnosen der Praxis verschlüsselt werden. "
                "Sie ergänzt die Systematik und ihre Hinweise.")
    general_part(w, edition)
    w.close("hauptkapitel")
    w.open("hauptkapitel", GENERAL[1][0])
    w.titel(GENERAL[1][1])
    groups = {}
    for cid in order:
        groups.setdefault(codes[cid][0][0][0], []).append(cid)
    n = 0
    for letter, ids in sorted(groups.items()):
        w.open("kapitel", "VA%04d00" % (9000 + ord(letter) - ord("A")))
        w.titel("Schlüsselnummern %s00 bis %s99" % (letter, letter))
        for cid in ids:
            special_chapter(w, n, cid, codes[cid], edition)
            n += 1
        w.close("kapitel")
    w.close("hauptkapitel")
    head = [(1, '<ehd:ehd xmlns:ehd="urn:ehd/001" ehd_version="1.40">'),
            (2, "<ehd:header>"),
            (3, '<ehd:id EX="%s" RT="Dateikennung"/>' % name[:-4]),
            (3, '<ehd:document_type_cd V="VA"/>'),
            (3, '<ehd:service_tmr V="%s"/>' % period),
            (3, '<ehd:origination_dttm V="%s"/>' % created),
            (3, "<ehd:provider>"),
            (4, "<ehd:organization>"),
            (5, '<ehd:id EX="74" RT="Absenderkennung"/>'),
            (5, '<ehd:organization.nm V="Kassenärztliche Bundesvereinigung"/>'),
            (4, "</ehd:organization>"),
            (3, "</ehd:provider>"),
            (3, "<ehd:interface>"),
            (4, '<ehd:id EX="VA"/>'),
            (4, '<ehd:interface.nm V="Verschlüsselungsanleitung"/>'),
            (4, '<ehd:version V="1.0"/>'),
            (4, '<ehd:description V="Stammdatei der Verschlüsselungsanleitung, Demo-Ausgabe"/>'),
            (3, "</ehd:interface>"),
            (2, "</ehd:header>"),
            (2, '<ehd:body xmlns:va="urn:ehd/va/001">')]
    text = "".join("  " * (depth - 1) + line + "\r\n" for depth, line in head)
    text += "".join(line + "\r\n" for line in w.lines)
    text += "  </ehd:body>\r\n</ehd:ehd>\r\n"
    return '<?xml version="1.0" encoding="ISO-8859-15"?>\r\n' + text


def main():
    os.makedirs(KBV, exist_ok=True)
    for edition in EDITIONS:
        with open(os.path.join(KBV, EDITIONS[edition][0]), "wb") as f:
            f.write(edition_text(edition).encode("iso-8859-15"))


if __name__ == "__main__":
    main()
