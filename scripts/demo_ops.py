#!/usr/bin/env python3
"""Writes the demo practice's procedure catalogue: demo/ops.tsv, demo/opstext.tsv,
demo/go.tsv and the rows of the list "opskategorien" in demo/sp.tsv.

The codes and texts are made up in the style of the public procedure catalogue; the fee
numbers and their texts are invented as well. Run from the source tree:
    python3 scripts/demo_ops.py
"""
import os

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo")

CATEGORIES = [
    ("1", "Ambulant durchführbar (Regelfall)"),
    ("2", "Ambulant oder stationär durchführbar"),
    ("B", "Bildgebende Diagnostik"),
    ("D", "Diagnostischer Eingriff"),
    ("K", "Konservative Behandlung"),
    ("M", "Medikamentengabe"),
    ("Z", "Ergänzende Angabe"),
]

SNZ_TEXT = {"1": "bis 15 Minuten", "2": "bis 30 Minuten", "3": "bis 45 Minuten",
            "4": "bis 60 Minuten", "5": "bis 90 Minuten", "6": "bis 120 Minuten",
            "7": "über 120 Minuten"}

# Fee number ranges of the surgical fields: first number is category 1 of the field.
FIELDS = {
    "haut": (31101, "A", "Dermatochirurgischer Eingriff"),
    "hand": (31111, "B", "Eingriff an der Hand"),
    "gefaess": (31121, "C", "Gefäßchirurgischer Eingriff"),
    "knochen": (31131, "D", "Eingriff an Knochen und Gelenken"),
    "arthro": (31141, "E", "Arthroskopischer Eingriff"),
    "bauch": (31151, "F", "Eingriff an der Bauchwand"),
    "prokto": (31161, "G", "Proktologischer Eingriff"),
    "hno": (31231, "N", "Eingriff im Hals-Nasen-Ohren-Bereich"),
    "nerv": (31171, "H", "Neurochirurgischer Eingriff am peripheren Nerven"),
}

# Skin regions of the six-character codes: suffix, text, side indicator.
REGIONS = [("0", "Lippe", "0"), ("4", "Sonstige Teile Kopf", "0"), ("5", "Hals", "0"),
           ("6", "Schulter und Axilla", "1"), ("7", "Oberarm und Ellenbogen", "1"),
           ("8", "Unterarm", "1"), ("9", "Hand", "1"), ("a", "Brustwand und Rücken", "0"),
           ("b", "Bauchregion", "0"), ("c", "Leisten- und Genitalregion", "0"),
           ("d", "Gesäß", "0"), ("e", "Oberschenkel und Knie", "1"),
           ("f", "Unterschenkel", "1"), ("g", "Fuß", "1")]


def regions(prefix, extended="0", only=None):
    return [(prefix + s, t, {"side": side, "ext": extended})
            for s, t, side in REGIONS if only is None or s in only]


# A four-character code: (code, text, defaults, children, texts). Defaults: side, snz, cat,
# ext, fees (a field of FIELDS or a list of fee lines), table. Children: (suffix, text,
# overrides[, grandchildren]). texts: {"4": [...], "5": [...], "6": [...]} for the code and its
# children.
CHAPTERS = [
    ("1", "Diagnostische Maßnahmen", [
        ("1-20...1-33", "Untersuchung einzelner Körpersysteme", [
            ("1-204", "Untersuchung des Liquorsystems", {"cat": "D", "side": ""}, [
                (".2", "Lumbale Liquorpunktion zur Liquorentnahme", {}),
                (".5", "Liquorentnahme aus einem liegenden Katheter", {}),
                (".x", "Sonstige", {}),
            ], {"6": ["Therapeutische Liquorpunktion (8-151)"]}),
            ("1-207", "Elektroenzephalographie (EEG)", {"cat": "D", "side": ""}, [
                (".0", "Routine-EEG (10-20-System)", {}),
                (".1", "Schlaf-EEG (10-20-System)", {}),
                (".2", "Video-EEG (10-20-System)", {"ext": "1"}),
            ], {"4": ["Die Dauer der Ableitung ist zu dokumentieren."]}),
            ("1-208", "Registrierung evozierter Potentiale", {"cat": "D", "side": ""}, [
                (".2", "Somatosensorisch [SSEP]", {}),
                (".4", "Motorisch [MEP]", {}),
                (".6", "Visuell [VEP]", {}),
                (".8", "Otoakustisch [OAE]", {}),
            ], {}),
            ("1-266", "Elektrophysiologische Untersuchung des Herzens, nicht kathetergestützt",
             {"cat": "D", "side": ""}, [
                 (".0", "Bei implantiertem Schrittmacher", {}),
                 (".1", "Bei implantiertem Kardioverter/Defibrillator", {}),
             ], {"5": ["Funktionsprüfung und Umprogrammierung des Aggregates"]}),
        ]),
        ("1-40...1-49", "Biopsie ohne Inzision", [
            ("1-420", "Biopsie ohne Inzision an Mund und Mundhöhle", {"cat": "D", "side": "0",
                                                                    "snz": "1"}, [
                (".0", "Lippe", {}), (".1", "Zunge", {}), (".2", "Gaumen", {}),
                (".4", "Mundboden", {}),
            ], {}),
            ("1-440", "Endoskopische Biopsie an oberem Verdauungstrakt, Gallengängen und Pankreas",
             {"cat": "D", "side": "", "fees": [["13400 ", "13401 "]]}, [
                 (".9", "Stufenbiopsie am oberen Verdauungstrakt", {}),
                 (".a", "1 bis 5 Biopsien am oberen Verdauungstrakt", {}),
             ], {"4": ["Die Endoskopie ist gesondert zu kodieren."]}),
            ("1-444", "Endoskopische Biopsie am unteren Verdauungstrakt",
             {"cat": "D", "side": "", "fees": [["13421 ", "13424 "]]}, [
                 (".6", "Stufenbiopsie", {}),
                 (".7", "1 bis 5 Biopsien", {}),
             ], {"4": ["Die Endoskopie ist gesondert zu kodieren."]}),
            ("1-490", "Biopsie ohne Inzision an Haut und Unterhaut",
             {"cat": "D", "snz": "1", "fees": "haut"}, [
                 (".0", "Hals", {"side": "0"}), (".3", "Oberarm und Ellenbogen", {"side": "1"}),
                 (".4", "Rumpf", {"side": "0"}), (".5", "Oberschenkel", {"side": "1"}),
                 (".6", "Unterschenkel", {"side": "1"}), (".7", "Fuß", {"side": "1"}),
             ], {"5": ["Stanzbiopsie"]}),
        ]),
        ("1-61...1-69", "Diagnostische Endoskopie", [
            ("1-632", "Diagnostische Ösophagogastroduodenoskopie",
             {"cat": "D", "side": "", "fees": [["13400 "]]}, [
                 (".0", "Bei normalem Situs", {}),
                 (".1", "Bei Anastomosen an Ösophagus und/oder Magen", {}),
             ], {"6": ["Ösophagogastroduodenoskopie mit Biopsie (1-440)"]}),
            ("1-650", "Diagnostische Koloskopie", {"cat": "D", "side": ""}, [
                (".0", "Partiell", {"fees": [["13422 "]]}),
                (".1", "Total, bis Zäkum", {"fees": [["13421 "]]}),
                (".2", "Total, mit Ileoskopie", {"fees": [["13421 ", "13424 "]]}),
            ], {"5": ["Koloskopie mit flexiblem Instrument"],
                "6": ["Koloskopie mit Biopsie (1-444)", "Diagnostische Sigmoideoskopie (1-651)"]}),
            ("1-651", "Diagnostische Sigmoideoskopie", {"cat": "D", "side": "",
                                                        "fees": [["13422 "]]}, [], {}),
            ("1-653", "Diagnostische Proktoskopie", {"cat": "D", "side": "",
                                                     "table": ["Im Ordinationskomplex enthalten"]},
             [], {}),
            ("1-654", "Diagnostische Rektoskopie", {"cat": "D", "side": "",
                                                    "table": ["Im Ordinationskomplex enthalten"]}, [
                (".0", "Mit flexiblem Instrument", {}),
                (".1", "Mit starrem Instrument", {}),
            ], {}),
            ("1-661", "Diagnostische Urethrozystoskopie", {"cat": "D", "side": "",
                                                            "fees": [["26310 "]]}, [], {}),
            ("1-672", "Diagnostische Hysteroskopie", {"cat": "D", "side": "", "snz": "1",
                                                      "fees": "knochen"}, [], {}),
            ("1-697", "Diagnostische Arthroskopie", {"cat": "1", "side": "1", "snz": "2",
                                                     "fees": "arthro"}, [
                (".1", "Schultergelenk", {}), (".2", "Ellenbogengelenk", {}),
                (".3", "Handgelenk", {}), (".7", "Kniegelenk", {}),
                (".8", "Oberes Sprunggelenk", {}),
            ], {"4": ["Eine diagnostische Arthroskopie im Rahmen einer arthroskopischen "
                      "Operation ist nicht gesondert zu kodieren."]}),
        ]),
    ]),
    ("3", "Bildgebende Diagnostik", [
        ("3-03...3-05", "Komplexe differenzialdiagnostische Sonographie", [
            ("3-030", "Komplexe differenzialdiagnostische Sonographie mit Kontrastmittel",
             {"cat": "B", "side": ""}, [], {}),
            ("3-035", "Komplexe differenzialdiagnostische Sonographie des Gefäßsystems mit "
                      "quantitativer Auswertung", {"cat": "B", "side": "1"}, [], {}),
            ("3-051", "Endosonographie des Ösophagus", {"cat": "B", "side": ""}, [], {}),
            ("3-053", "Endosonographie des Magens", {"cat": "B", "side": ""}, [], {}),
            ("3-055", "Endosonographie der Gallenwege", {"cat": "B", "side": ""}, [], {}),
            ("3-058", "Endosonographie des Rektums", {"cat": "B", "side": ""}, [], {}),
        ]),
        ("3-20...3-26", "Computertomographie (CT), nativ", [
            ("3-200", "Native Computertomographie des Schädels", {"cat": "B", "side": ""}, [],
             {}),
            ("3-202", "Native Computertomographie des Thorax", {"cat": "B", "side": ""}, [], {}),
            ("3-203", "Native Computertomographie von Wirbelsäule und Rückenmark",
             {"cat": "B", "side": ""}, [], {}),
            ("3-205", "Native Computertomographie des Muskel-Skelett-Systems",
             {"cat": "B", "side": "1"}, [], {}),
            ("3-206", "Native Computertomographie des Beckens", {"cat": "B", "side": ""}, [], {}),
            ("3-207", "Native Computertomographie des Abdomens", {"cat": "B", "side": ""}, [], {}),
        ]),
        ("3-80...3-84", "Magnetresonanztomographie (MRT)", [
            ("3-800", "Native Magnetresonanztomographie des Schädels", {"cat": "B", "side": ""},
             [], {}),
            ("3-802", "Native Magnetresonanztomographie von Wirbelsäule und Rückenmark",
             {"cat": "B", "side": ""}, [], {}),
            ("3-806", "Native Magnetresonanztomographie des Muskel-Skelett-Systems",
             {"cat": "B", "side": "1"}, [], {}),
            ("3-820", "Magnetresonanztomographie des Schädels mit Kontrastmittel",
             {"cat": "B", "side": ""}, [], {}),
            ("3-823", "Magnetresonanztomographie von Wirbelsäule und Rückenmark mit "
                      "Kontrastmittel", {"cat": "B", "side": ""}, [], {}),
            ("3-826", "Magnetresonanztomographie des Muskel-Skelett-Systems mit Kontrastmittel",
             {"cat": "B", "side": "1", "ext": "1"}, [], {}),
        ]),
    ]),
    ("5", "Operationen", [
        ("5-01...5-05", "Operationen am Nervensystem", [
            ("5-056", "Neurolyse und Dekompression eines Nerven", {"cat": "1", "side": "1",
                                                                   "fees": "nerv"}, [
                (".3", "Nerven Arm", {"snz": "2"}),
                (".4", "Nerven Hand", {"snz": "2"}, [
                    ("0", "Offen chirurgisch", {"snz": "24"}),
                    ("1", "Endoskopisch", {"snz": "24", "ext": "1"}),
                ]),
                (".8", "Nerven Bein", {"snz": "3", "cat": "2"}),
                (".9", "Nerven Fuß", {"snz": "2"}),
            ], {"5": ["Dekompression des Karpaltunnels",
                      "Spaltung des Retinaculum flexorum"],
                "6": ["Neurolyse bei Naht eines Nerven"]}),
        ]),
        ("5-21...5-22", "Operationen an der Nase und den Nasennebenhöhlen", [
            ("5-214", "Submuköse Resektion und plastische Rekonstruktion des Nasenseptums",
             {"cat": "2", "side": "0", "snz": "4", "fees": "hno"}, [
                 (".0", "Submuköse Resektion", {}),
                 (".5", "Septumplastik mit Resektion und Reimplantation von Knorpel", {}),
                 (".6", "Plastische Korrektur ohne Resektion", {"snz": "3"}),
             ], {"4": ["Eine gleichzeitige Operation an der unteren Nasenmuschel ist "
                       "gesondert zu kodieren (5-215)."]}),
            ("5-215", "Operationen an der unteren Nasenmuschel [Concha nasalis]",
             {"cat": "1", "side": "3", "snz": "12", "fees": "hno"}, [
                 (".0", "Destruktion", {}),
                 (".3", "Submuköse Resektion", {"snz": "23"}),
                 (".4", "Lateralisation", {}),
             ], {"5": ["Konchotomie"]}),
            ("5-221", "Operationen an der Kieferhöhle", {"cat": "2", "side": "3", "snz": "35",
                                                         "fees": "hno"}, [
                (".1", "Fensterung über unteren Nasengang", {}),
                (".6", "Endonasal", {}),
            ], {}),
        ]),
        ("5-28", "Operationen im Bereich des Naso- und Oropharynx", [
            ("5-281", "Tonsillektomie (ohne Adenotomie)", {"cat": "2", "side": "2", "snz": "3",
                                                           "fees": "hno"}, [
                (".0", "Mit Dissektionstechnik", {}),
                (".5", "Partiell, transoral", {"snz": "2"}),
            ], {"6": ["Tonsillektomie mit Adenotomie (5-282)"]}),
            ("5-282", "Tonsillektomie mit Adenotomie", {"cat": "2", "side": "2", "snz": "4",
                                                        "fees": "hno"}, [
                (".0", "Mit Dissektionstechnik", {}),
                (".1", "Partiell, transoral", {"snz": "3"}),
            ], {}),
            ("5-285", "Adenotomie (ohne Tonsillektomie)", {"cat": "1", "side": "0", "snz": "1",
                                                           "fees": "hno"}, [
                (".0", "Primäreingriff", {}),
                (".1", "Readenotomie", {}),
            ], {}),
        ]),
        ("5-38...5-39", "Operationen an Blutgefäßen", [
            ("5-385", "Unterbindung, Exzision und Stripping von Varizen",
             {"cat": "1", "side": "3", "snz": "24", "fees": "gefaess"}, [
                 (".0", "Lokale Sklerotherapie (durch Injektion)", {"cat": "1", "snz": "1"}),
                 (".2", "Lokale Exzision", {"snz": "12"}),
                 (".4", "Transkutane Unterbindung der Vv. perforantes (als selbständiger "
                        "Eingriff)", {}),
                 (".7", "Crossektomie und Stripping", {"cat": "2"}, [
                     ("0", "V. saphena magna", {"snz": "37"}),
                     ("4", "V. saphena parva", {"snz": "35"}),
                 ]),
                 (".9", "Rezidivoperation", {"cat": "2", "snz": "46"}),
             ], {"4": ["Die Seitenangabe ist bei beidseitigem Eingriff mit B zu machen."],
                 "5": ["Ligatur von Seitenästen"]}),
            ("5-399", "Andere Operationen an Blutgefäßen", {"cat": "2", "side": "1", "snz": "2",
                                                            "fees": "gefaess"}, [
                (".5", "Implantation oder Wechsel von venösen Katheterverweilsystemen (z.B. "
                       "zur Chemotherapie oder zur Schmerztherapie)", {}),
                (".7", "Entfernung von venösen Katheterverweilsystemen", {"snz": "1"}),
            ], {}),
        ]),
        ("5-45...5-49", "Operationen an Darm und Anus", [
            ("5-452", "Lokale Exzision und Destruktion von erkranktem Gewebe des Dickdarmes",
             {"cat": "1", "side": "", "snz": "2", "fees": [["13421 ", "13423 "]]}, [
                 (".2", "Exzision, endoskopisch", {}, [
                     ("0", "Exzision ohne weitere Maßnahmen", {}),
                     ("1", "Polypektomie von 1-2 Polypen mit Schlinge", {}),
                     ("2", "Polypektomie von mehr als 2 Polypen mit Schlinge", {"snz": "3"}),
                 ]),
             ], {"5": ["Blutstillung"]}),
            ("5-490", "Inzision und Exzision von Gewebe der Perianalregion",
             {"cat": "1", "side": "0", "snz": "1", "fees": "prokto"}, [
                 (".0", "Inzision", {}), (".1", "Exzision", {}),
             ], {}),
            ("5-491", "Operative Behandlung von Analfisteln", {"cat": "1", "side": "0",
                                                               "snz": "2", "fees": "prokto"}, [
                (".0", "Inzision (Spaltung)", {}),
                (".1", "Exzision", {}, [
                    ("0", "Subkutan", {}), ("1", "Intersphinktär", {"snz": "3"}),
                    ("2", "Transsphinktär", {"snz": "3", "cat": "2"}),
                ]),
                (".2", "Fadendrainage", {}),
            ], {"6": ["Inzision eines periproktitischen Abszesses (5-490.0)"]}),
            ("5-492", "Exzision und Destruktion von erkranktem Gewebe des Analkanals",
             {"cat": "1", "side": "0", "snz": "1", "fees": "prokto"}, [
                 (".0", "Exzision", {}), (".1", "Destruktion", {}),
             ], {}),
            ("5-493", "Operative Behandlung von Hämorrhoiden", {"cat": "1", "side": "0",
                                                                "snz": "2", "fees": "prokto"}, [
                (".0", "Ligatur", {"snz": "1"}),
                (".1", "Sklerosierung", {"snz": "1"}),
                (".2", "Exzision (Segmentresektion)", {}),
                (".5", "Stapler-Hämorrhoidopexie", {"snz": "3", "cat": "2"}),
            ], {"4": ["Die Anzahl der behandelten Knoten ist zu dokumentieren."]}),
        ]),
        ("5-53...5-54", "Operationen an der Bauchwand", [
            ("5-530", "Verschluss einer Hernia inguinalis", {"cat": "2", "side": "3",
                                                             "snz": "35", "fees": "bauch"}, [
                (".0", "Offen chirurgisch, ohne plastischen Bruchpfortenverschluss",
                 {"snz": "24"}),
                (".1", "Offen chirurgisch, mit plastischem Bruchpfortenverschluss", {}),
                (".3", "Offen chirurgisch, mit alloplastischem Material", {}, [
                    ("1", "Mit Netz, ohne Fixierung", {}),
                    ("2", "Mit Netz, mit Fixierung", {"ext": "1"}),
                ]),
                (".4", "Laparoskopisch, mit alloplastischem Material", {"snz": "46"}),
            ], {"4": ["Bei beidseitigem Verschluss ist die Seite B anzugeben."],
                "6": ["Verschluss einer Hernia femoralis (5-531)"]}),
            ("5-534", "Verschluss einer Hernia umbilicalis", {"cat": "1", "side": "0",
                                                              "snz": "3", "fees": "bauch"}, [
                (".0", "Offen chirurgisch, ohne plastischen Bruchpfortenverschluss",
                 {"snz": "2"}),
                (".3", "Offen chirurgisch, mit alloplastischem Material", {}),
            ], {}),
            ("5-535", "Verschluss einer Hernia epigastrica", {"cat": "1", "side": "0",
                                                              "snz": "3", "fees": "bauch"}, [
                (".0", "Offen chirurgisch, ohne plastischen Bruchpfortenverschluss", {}),
            ], {}),
        ]),
        ("5-78...5-86", "Operationen an den Bewegungsorganen", [
            ("5-787", "Entfernung von Osteosynthesematerial", {"cat": "1", "side": "1",
                                                               "snz": "2", "fees": "knochen"}, [
                (".0", "Draht", {"snz": "1"}, [
                    ("1", "Humerus proximal", {}), ("3", "Radius distal", {}),
                    ("f", "Phalangen Hand", {}), ("k", "Tibia proximal", {}),
                ]),
                (".1", "Schraube", {}, [
                    ("3", "Radius distal", {}), ("k", "Tibia proximal", {}),
                    ("r", "Fibula distal", {}),
                ]),
                (".3", "Platte", {"snz": "3"}, [
                    ("3", "Radius distal", {}), ("r", "Fibula distal", {}),
                ]),
                (".6", "Marknagel", {"snz": "4", "cat": "2"}),
            ], {"4": ["Die Lokalisation ist für die Kodes dieses Abschnitts anzugeben."]}),
            ("5-788", "Operationen an Metatarsale und Phalangen des Fußes",
             {"cat": "2", "side": "1", "snz": "3", "fees": "knochen"}, [
                 (".0", "Resektion (Exostose)", {"snz": "2"}),
                 (".5", "Osteotomie", {}, [
                     ("0", "Os metatarsale I, distal", {}),
                     ("1", "Os metatarsale I, proximal", {"snz": "4"}),
                 ]),
             ], {"5": ["Korrektur einer Zehenfehlstellung"]}),
            ("5-810", "Arthroskopische Gelenkoperation", {"cat": "1", "side": "1", "snz": "2",
                                                          "fees": "arthro"}, [
                (".0", "Gelenkspülung mit Drainage, aseptisch", {}),
                (".2", "Gelenkmobilisation [Arthrolyse]", {"snz": "3"}),
                (".4", "Entfernung freier Gelenkkörper", {}),
            ], {"6": ["Diagnostische Arthroskopie (1-697)"]}),
            ("5-811", "Arthroskopische Operation an der Synovialis", {"cat": "1", "side": "1",
                                                                      "snz": "2",
                                                                      "fees": "arthro"}, [
                (".0", "Resektion einer Plica synovialis", {}),
                (".2", "Synovektomie, partiell", {"snz": "3"}),
                (".3", "Synovektomie, total", {"snz": "4", "cat": "2"}),
            ], {}),
            ("5-812", "Arthroskopische Operation am Gelenkknorpel und an den Menisken",
             {"cat": "1", "side": "1", "snz": "3", "fees": "arthro"}, [
                 (".0", "Exzision von erkranktem Gewebe am Gelenkknorpel", {}),
                 (".5", "Meniskusresektion, partiell", {}),
                 (".6", "Meniskusresektion, total", {}),
                 (".7", "Meniskusrefixation", {"snz": "4", "cat": "2"}),
                 (".e", "Knorpelglättung (Chondroplastik)", {"snz": "2"}),
                 (".f", "Subchondrale Knocheneröffnung (z.B. Mikrofrakturierung, "
                        "Abrasionsarthroplastik)", {}),
                 (".k", "Resektion und Glättung des Meniskus", {"ext": "1"}),
             ], {"4": ["Die Lokalisation ist anzugeben."],
                 "5": ["Entfernung freier Gelenkkörper", "Gelenkspülung"],
                 "6": ["Arthroskopische Refixation am Kapselbandapparat (5-813)"]}),
            ("5-813", "Arthroskopische Refixation und Plastik am Kapselbandapparat des "
                      "Kniegelenkes", {"cat": "2", "side": "1", "snz": "5",
                                       "fees": "arthro"}, [
                (".4", "Plastik vorderes Kreuzband mit autogener Sehne", {}),
                (".7", "Plastik hinteres Kreuzband mit autogener Sehne", {"snz": "6"}),
            ], {}),
            ("5-814", "Arthroskopische Refixation und Plastik am Kapselbandapparat des "
                      "Schultergelenkes", {"cat": "2", "side": "1", "snz": "4",
                                           "fees": "arthro"}, [
                (".3", "Erweiterung des subakromialen Raumes", {"snz": "3", "cat": "1"}),
                (".4", "Refixation der Rotatorenmanschette", {"snz": "5"}),
            ], {}),
            ("5-840", "Operationen an Sehnen der Hand", {"cat": "1", "side": "1", "snz": "2",
                                                         "fees": "hand"}, [
                (".0", "Inzision", {"snz": "1"}),
                (".4", "Tenolyse", {}),
                (".6", "Naht, primär", {}),
                (".8", "Tenotomie", {"snz": "1"}),
            ], {}),
            ("5-841", "Operationen an Bändern der Hand", {"cat": "1", "side": "1", "snz": "2",
                                                          "fees": "hand"}, [
                (".1", "Durchtrennung", {}),
                (".4", "Naht, primär", {}),
            ], {}),
            ("5-842", "Operationen an Faszien der Hohlhand und der Finger",
             {"cat": "1", "side": "1", "snz": "3", "fees": "hand"}, [
                 (".0", "Fasziotomie", {"snz": "2"}),
                 (".2", "Fasziektomie partiell, Hohlhand isoliert", {}),
                 (".3", "Fasziektomie mit 1 Neurolyse", {"snz": "4"}),
             ], {"5": ["Operation einer Beugekontraktur der Finger"]}),
            ("5-849", "Andere Operationen an der Hand", {"cat": "1", "side": "1", "snz": "1",
                                                         "fees": "hand"}, [
                (".0", "Exzision eines Ganglions", {"snz": "2"}),
                (".1", "Exzision eines Ganglions mit Arthrotomie", {}),
            ], {}),
            ("5-850", "Inzision an Muskel, Sehne und Faszie", {"cat": "1", "side": "1",
                                                               "snz": "1", "fees": "knochen"}, [
                (".0", "Inzision eines Muskels, längs", {}),
                (".6", "Fasziotomie, quer", {}),
            ], {}),
            ("5-852", "Exzision an Muskel, Sehne und Faszie", {"cat": "1", "side": "1",
                                                               "snz": "2", "fees": "knochen"}, [
                (".0", "Exzision einer Sehne, partiell", {}),
                (".8", "Exzision einer Faszie", {}),
            ], {}),
        ]),
        ("5-89...5-92", "Operationen an Haut und Unterhaut", [
            ("5-892", "Andere Inzision an Haut und Unterhaut", {"cat": "1", "snz": "1",
                                                                "fees": "haut"}, [
                (".0", "Ohne weitere Maßnahmen", {"side": "0"}, regions("", only="8ef")),
                (".1", "Drainage", {"side": "0"}, regions("", only="9g")),
                (".2", "Entfernung eines Fremdkörpers", {"side": "0"}),
            ], {"6": ["Inzision eines Abszesses der Perianalregion (5-490.0)"]}),
            ("5-893", "Chirurgische Wundtoilette [Wunddebridement] und Entfernung von erkranktem "
                      "Gewebe an Haut und Unterhaut", {"cat": "1", "snz": "1", "ext": "1",
                                                       "fees": "haut"}, [
                (".0", "Kleinflächig", {"side": "0"}, regions("", "1", only="9efg")),
                (".1", "Großflächig", {"side": "0", "snz": "2"}, regions("", "1", only="eg")),
            ], {"4": ["Die Fläche der Wunde ist zu dokumentieren."]}),
            ("5-894", "Lokale Exzision von erkranktem Gewebe an Haut und Unterhaut",
             {"cat": "1", "snz": "1", "fees": "haut"}, [
                 (".0", "Exzision, ohne primären Wundverschluss", {"side": "0"}, regions("")),
                 (".1", "Exzision, mit primärem Wundverschluss", {"side": "0"}, regions("")),
             ], {"5": ["Entnahme von Material zur histologischen Untersuchung"],
                 "6": ["Radikale und ausgedehnte Exzision (5-895)"]}),
            ("5-895", "Radikale und ausgedehnte Exzision von erkranktem Gewebe an Haut und "
                      "Unterhaut", {"cat": "2", "snz": "2", "fees": "haut"}, [
                (".0", "Ohne primären Wundverschluss", {"side": "0"},
                 regions("", only="04569abefg")),
                (".2", "Mit primärem Wundverschluss", {"side": "0", "snz": "3"},
                 regions("", only="04569abefg")),
            ], {"4": ["Eine Exzision ist radikal, wenn sie im Gesunden erfolgt."]}),
            ("5-898", "Operationen am Nagelorgan", {"cat": "1", "side": "1", "snz": "1",
                                                    "fees": "haut"}, [
                (".4", "Exzision des Nagels, partiell", {}),
                (".5", "Exzision des Nagels, total", {}),
                (".6", "Exzision von erkranktem Gewebe des Nagelbettes", {}),
                (".9", "Nagelplastik", {"snz": "2"}),
            ], {"5": ["Keilexzision bei eingewachsenem Nagel"]}),
            ("5-903", "Lokale Lappenplastik an Haut und Unterhaut", {"cat": "2", "snz": "3",
                                                                     "fees": "haut"}, [
                (".0", "Dehnungsplastik, kleinflächig", {"side": "0"},
                 regions("", only="04g")),
                (".1", "Verschiebe-Rotationsplastik, kleinflächig", {"side": "0"},
                 regions("", only="049")),
            ], {}),
        ]),
    ]),
    ("6", "Medikamente", [
        ("6-00", "Applikation von Medikamenten", [
            ("6-001", "Applikation von Medikamenten, Liste 1", {"cat": "M", "side": ""}, [
                (".h", "Rituximab, intravenös", {}, [
                    ("0", "150 mg bis unter 250 mg", {}),
                    ("1", "250 mg bis unter 350 mg", {}),
                    ("2", "350 mg bis unter 450 mg", {}),
                ]),
            ], {"4": ["Die Gabe ist nur bei Überschreitung der Mindestmenge zu kodieren."]}),
            ("6-002", "Applikation von Medikamenten, Liste 2", {"cat": "M", "side": ""}, [
                (".1", "Filgrastim, parenteral", {}, [
                    ("0", "70 Mio. IE bis unter 130 Mio. IE", {}),
                    ("1", "130 Mio. IE bis unter 190 Mio. IE", {}),
                ]),
                (".5", "Voriconazol, oral", {"ext": "1"}),
            ], {}),
        ]),
    ]),
    ("8", "Nichtoperative therapeutische Maßnahmen", [
        ("8-01...8-02", "Applikation von Medikamenten und Nahrung und therapeutische Injektion", [
            ("8-020", "Therapeutische Injektion", {"cat": "K", "side": "1", "snz": "1"}, [
                (".0", "Auge", {}),
                (".5", "Gelenk oder Schleimbeutel", {}),
                (".8", "Systemische Thrombolyse", {"side": "", "cat": "$2"}),
            ], {"6": ["Injektion zur Schmerztherapie (8-91)"]}),
        ]),
        ("8-19", "Verbände und Entfernung von erkranktem Gewebe an Haut und Unterhaut", [
            ("8-190", "Spezielle Verbandstechniken", {"cat": "K", "side": "0"}, [
                (".2", "Kontinuierliche Sogbehandlung mit Pumpensystem", {"ext": "1"}, [
                    ("0", "Bis 7 Tage", {"ext": "1"}),
                    ("1", "8 bis 14 Tage", {"ext": "1"}),
                ]),
                (".3", "Kompressionsverband", {}),
            ], {}),
            ("8-192", "Entfernung von erkranktem Gewebe an Haut und Unterhaut ohne Anästhesie",
             {"cat": "K", "side": "1"}, [
                 (".0", "Kleinflächig", {}),
                 (".1", "Großflächig", {}),
             ], {"4": ["Im Rahmen einer Wundbehandlung"]}),
        ]),
        ("8-20...8-22", "Geschlossene Reposition und Korrektur von Deformitäten", [
            ("8-200", "Geschlossene Reposition einer Fraktur ohne Osteosynthese",
             {"cat": "K", "side": "1", "snz": "1", "fees": "knochen"}, [
                 (".2", "Humerus proximal", {}),
                 (".5", "Radius distal", {}),
                 (".6", "Ulna distal", {}),
                 (".c", "Phalangen Hand", {}),
             ], {"5": ["Ruhigstellung im Gipsverband"]}),
            ("8-201", "Geschlossene Reposition einer Gelenkluxation ohne Osteosynthese",
             {"cat": "K", "side": "1", "snz": "1", "fees": "knochen"}, [
                 (".0", "Humeroglenoidalgelenk", {}),
                 (".4", "Hüftgelenk", {"snz": "2"}),
                 (".g", "Interphalangealgelenk", {}),
             ], {}),
        ]),
        ("8-31", "Immobilisation und spezielle Lagerung", [
            ("8-310", "Aufwendige Gipsverbände", {"cat": "K", "side": "1"}, [
                (".0", "Oberarmgips", {}), (".3", "Unterarmgips", {}),
                (".8", "Beckengips", {"side": "2"}),
                (".9", "Unterschenkelgips", {}),
            ], {}),
        ]),
        ("8-91", "Schmerztherapie", [
            ("8-910", "Epidurale Injektion und Infusion zur Schmerztherapie",
             {"cat": "K", "side": ""}, [], {"4": ["Die Anzahl der Injektionen ist anzugeben."]}),
            ("8-914", "Injektion eines Medikamentes an Nervenwurzeln und wirbelsäulennahe Nerven "
                      "zur Schmerztherapie", {"cat": "K", "side": "3"}, [
                (".0", "Ohne bildgebende Verfahren", {}, [
                    ("0", "An der Halswirbelsäule", {}),
                    ("1", "An der Brustwirbelsäule", {}),
                    ("2", "An der Lendenwirbelsäule", {}),
                ]),
                (".1", "Mit bildgebenden Verfahren", {}, [
                    ("0", "An der Halswirbelsäule", {}),
                    ("2", "An der Lendenwirbelsäule", {}),
                ]),
            ], {"5": ["Periradikuläre Therapie"]}),
            ("8-917", "Injektion eines Medikamentes in Gelenke der Wirbelsäule zur "
                      "Schmerztherapie", {"cat": "K", "side": "3"}, [
                (".0", "Ohne bildgebende Verfahren", {}),
                (".1", "Mit bildgebenden Verfahren", {}),
            ], {}),
        ]),
    ]),
    ("9", "Ergänzende Maßnahmen", [
        ("9-26...9-28", "Geburtsbegleitende Maßnahmen und Behandlung wegen Infertilität", [
            ("9-260", "Überwachung und Leitung einer normalen Geburt", {"cat": "Z"}, [], {}),
            ("9-261", "Überwachung und Leitung einer Risikogeburt", {"cat": "Z"}, [], {}),
            ("9-278", "Behandlung wegen Infertilität", {"cat": "Z", "ext": "1"}, [
                (".0", "Vorbereitung und Überwachung der Stimulation", {}),
                (".1", "Entnahme von Eizellen", {}),
                (".2", "Transfer von Embryonen", {}),
            ], {}),
        ]),
        ("9-40...9-41", "Psychosoziale, psychosomatische und psychotherapeutische Therapie", [
            ("9-401", "Psychosoziale Interventionen", {"cat": "Z"}, [
                (".0", "Sozialrechtliche Beratung", {}, [
                    ("0", "Mindestens 50 Minuten bis 2 Stunden", {}),
                    ("1", "Mehr als 2 Stunden bis 4 Stunden", {}),
                ]),
                (".3", "Künstlerische Therapie", {"ext": "1"}),
            ], {}),
            ("9-410", "Einzeltherapie", {"cat": ""}, [
                (".0", "Kognitive Verhaltenstherapie", {}, [
                    ("4", "An einem Tag", {}), ("5", "An 2 bis 5 Tagen", {}),
                ]),
                (".1", "Tiefenpsychologisch fundierte Psychotherapie", {}),
                (".2", "Gesprächspsychotherapie", {}),
            ], {"4": ["Die Therapieeinheit umfasst mindestens 25 Minuten."]}),
        ]),
    ]),
]

# Procedures without fee items show a table entry instead.
TABLE_BY_CHAPTER = {
    "1": ["Keine Zuordnung zu einer OP-Kategorie", "Abrechnung über die Grundpauschale"],
    "3": ["Keine Zuordnung zu einer OP-Kategorie", "Abrechnung nach dem Abschnitt Radiologie"],
    "5": ["Zuordnung nach Schnitt-Naht-Zeit"],
    "6": ["Zusatzentgelt, keine Gebührenordnungsposition"],
    "8": ["Keine Zuordnung zu einer OP-Kategorie"],
    "9": ["Nur zur Dokumentation, nicht abrechnungsrelevant"],
}

# Fee numbers outside the surgical fields: edition letters and text.
OTHER_FEES = {
    "13400": ("hfeb", "Ösophago-Gastroduodenoskopie"),
    "13401": ("hf", "Zuschlag zur Ösophago-Gastroduodenoskopie für Biopsien"),
    "13421": ("hfeb", "Totale Koloskopie"),
    "13422": ("hfeb", "Partielle Koloskopie"),
    "13423": ("hfe", "Zuschlag zur Koloskopie für Polypektomie"),
    "13424": ("h", "Zuschlag zur Koloskopie für Stufenbiopsien"),
}


def snz_digit(snz):
    return snz[0] if snz else "1"


def fee_lines(field, snz):
    """Fee items of a surgical code: the operation, the observation after it and the
    anaesthesia, then the same service by an attending physician in hospital."""
    base, _, _ = FIELDS[field]
    d = int(snz_digit(snz))
    one = "%d" % (base + d - 1)
    line1 = "%-6s%-6s%-6s" % (one, "%d" % (31500 + d), "%d" % (31820 + d))
    if d >= 3:
        return [line1, "%-6s%-6s" % ("36" + one[2:], "%d" % (36500 + d))]
    # A line whose last piece is blank, as lines filled to a fixed width come.
    return [line1 + "      "]


def editions_text(number):
    """Text of a fee number per edition letter."""
    n = int(number)
    if number in OTHER_FEES:
        letters, text = OTHER_FEES[number]
        variants = {"h": text, "f": text + " (einschließlich Dokumentation)",
                    "e": text + ", je Sitzung", "b": text + ", je Sitzung (alte Fassung)"}
        return {e: variants[e] for e in letters}
    for field, (base, letter, name) in FIELDS.items():
        for d in range(1, 8):
            cat = "%s%d" % (letter, d)
            if n == base + d - 1:
                return {"h": "%s der Kategorie %s (Schnitt-Naht-Zeit %s)" % (name, cat,
                                                                               SNZ_TEXT[str(d)]),
                        "f": "Eingriff der Kategorie %s: %s, %s" % (cat, name, SNZ_TEXT[str(d)]),
                        "e": "%s %s, Operationsdauer %s" % (name, cat, SNZ_TEXT[str(d)]),
                        "b": "Ambulanter Eingriff %s (%s)" % (cat, name)}
            if n == base + 5000 + d - 1:
                return {"h": "%s der Kategorie %s, belegärztlich" % (name, cat),
                        "f": "Belegärztlicher Eingriff der Kategorie %s: %s" % (cat, name)}
    if 31501 <= n <= 31507:
        d = str(n - 31500)
        return {"h": "Postoperative Überwachung nach Eingriff der Kategorie %s" % d,
                "f": "Überwachung im Anschluss an einen Eingriff der Kategorie %s" % d,
                "e": "Postoperative Überwachung, Kategorie %s" % d}
    if 36501 <= n <= 36507:
        d = str(n - 36500)
        return {"h": "Belegärztliche postoperative Überwachung, Kategorie %s" % d}
    if 31821 <= n <= 31827:
        d = str(n - 31820)
        return {"h": "Anästhesie zu einem Eingriff der Kategorie %s (%s)" % (d, SNZ_TEXT[d]),
                "f": "Narkose bei Eingriff der Kategorie %s" % d,
                "e": "Anästhesie/Narkose, Kategorie %s" % d,
                "b": "Narkose, Kategorie %s" % d}
    return {}


def main():
    ops, texts, used_fees = [], [], set()

    def add_text(code, typ, lines):
        for line in lines:
            texts.append((code, typ, line))

    def add_procedure(code, chapter, group, text, attrs, extra):
        snz = attrs.get("snz", "")
        ops.append((code, chapter, group, attrs.get("cat", ""), snz, attrs.get("side", ""),
                    attrs.get("ext", "0")))
        add_text(code, "3", [text])
        for typ in ("4", "5", "6"):
            add_text(code, typ, extra.get(typ, []))
        fees = attrs.get("fees")
        if isinstance(fees, str):
            fees = fee_lines(fees, snz)
        elif fees:
            fees = ["".join(line) for line in fees]
        if fees:
            add_text(code, "8", fees)
            for line in fees:
                used_fees.update(line[i:i + 6].strip() for i in range(0, len(line), 6))
        else:
            add_text(code, "7", attrs.get("table", TABLE_BY_CHAPTER[chapter]))

    # A code that has children is a heading of its own: no category, time or fee.
    heading = {"cat": "$2", "snz": "", "fees": None,
               "table": ["Nur mit einem spezifischeren Kode abrechenbar"]}
    for chapter, chapter_text, groups in CHAPTERS:
        ops.append((chapter, chapter, "", "$0", "", "", ""))
        add_text(chapter, "1", [chapter_text])
        for group, group_text, codes in groups:
            ops.append((group, chapter, group, "$1", "", "", ""))
            add_text(group, "2", [group_text])
            for code, text, defaults, children, extra in codes:
                # A four-character code that has children is a heading of its own.
                add_procedure(code, chapter, group, text,
                              dict(defaults, **heading) if children else defaults, extra)
                for child in children:
                    suffix, child_text, overrides = child[:3]
                    attrs = dict(defaults, **overrides)
                    full = "%s: %s" % (text, child_text)
                    grandchildren = child[3] if len(child) > 3 else []
                    add_procedure(code + suffix, chapter, group, full,
                                  dict(attrs, **heading) if grandchildren else attrs, extra)
                    for gsuffix, gtext, goverrides in grandchildren:
                        gattrs = dict(attrs, **goverrides)
                        add_procedure(code + suffix + gsuffix, chapter, group,
                                      "%s: %s" % (full, gtext), gattrs, extra)

    ops_codes = [row[0] for row in ops]
    assert len(ops_codes) == len(set(ops_codes)), "duplicate code"

    # A fee number that no edition knows (26310) stays out: shown without text.
    go = []
    for number in sorted(used_fees - {""}):
        for edition, text in sorted(editions_text(number).items()):
            go.append((edition, number, text))

    def write(name, header, rows):
        with open(os.path.join(DEMO, name), "w", encoding="utf-8", newline="\n") as f:
            f.write("\t".join(header) + "\n")
            for row in rows:
                assert all("\t" not in v and "\\" not in v and "\n" not in v for v in row)
                f.write("\t".join(row) + "\n")

    write("ops.tsv", ["code", "chapter", "group", "category", "snz", "side", "extended"],
          sorted(ops, key=lambda r: r[0].encode()))
    write("opstext.tsv", ["code", "type", "text"], texts)
    write("go.tsv", ["edition", "number", "text"], go)
    # No favourites: the search opens on the whole catalogue, so that any key
    # of the demo is found as typed.

    # The category list goes into the demo's system parameter lists.
    path = os.path.join(DEMO, "sp.tsv")
    with open(path, encoding="utf-8") as f:
        lines = [l for l in f.read().splitlines() if not l.startswith("opskategorien\t")]
    lines += ["opskategorien\t%s\t%s" % c for c in CATEGORIES]
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")

    procedures = [r for r in ops if r[3] not in ("$0", "$1")]
    print("%d procedures, %d chapters, %d text rows, %d fee rows" % (
        len(procedures), sum(1 for r in ops if r[3] == "$0"), len(texts), len(go)))


if __name__ == "__main__":
    main()
