#!/usr/bin/env python3
"""Writes the generated pilot lists of this folder: fs_generated.fsdb and
pilots_python.csv. Run it here with python3; the output is committed."""
import csv
import random
import xml.etree.ElementTree as ET

random.seed(22)
FIRST = ["Anna", "Björn", "Chloé", "Dario", "Eva", "Frank", "Gül", "Hana", "Ivo", "Jana"]
LAST = ["Berg", "Nowak", "Østby", "Rossi", "Šimek", "Tanaka", "Ulm", "Vidal", "Weiß", "Young"]


def pilot(n):
    """Number n's name and numbers: every 7th has no CIVLID attribute, every
    11th an empty one, pilot 5 has an entity-escaped name."""
    name = FIRST[n % 10] + " " + LAST[(n * 3) % 10]
    if n == 5:
        name = "Smith & Sons <Team>"
    civl = None if n % 7 == 0 else ("" if n % 11 == 0 else str(10000 + n * 37))
    return name, n + 100, civl


def fs_file():
    fs = ET.Element("Fs", {"version": "3.5", "comment": "generated for tests"})
    comp = ET.SubElement(fs, "FsCompetition", {"id": "1", "name": "Test Open 2011", "location": "Nowhere"})
    ET.SubElement(comp, "FsCompetitionNotes")
    ET.SubElement(comp, "FsScoreFormula", {"id": "GAP2011", "min_dist": "5"})
    custom = ET.SubElement(comp, "FsCustomAttributes")
    ET.SubElement(custom, "FsCustomAttribute", {"name": "Team"})
    parts = ET.SubElement(comp, "FsParticipants")
    for n in range(1, 101):
        name, comp_id, civl = pilot(n)
        attrs = {"id": str(comp_id), "name": name, "birthday": "1980-01-%02d" % (n % 28 + 1),
                 "female": str(n % 2), "nat_code_3166_a3": "NOR", "glider": "Wing %d" % n,
                 "glider_main_colors": "red", "sponsor": "Club %d" % (n % 5)}
        if civl is not None:
            attrs["CIVLID"] = civl
        p = ET.SubElement(parts, "FsParticipant", attrs)
        if n == 7:
            ET.SubElement(p, "FsCivlPilot", {"id": "777"})
        ca = ET.SubElement(p, "FsCustomAttributes")
        ET.SubElement(ca, "FsCustomAttribute", {"name": "Team", "value": "T%d" % (n % 4)})
    tasks = ET.SubElement(comp, "FsTasks")
    for t in (1, 2):
        task = ET.SubElement(tasks, "FsTask", {"id": str(t), "name": "Task %d" % t})
        ET.SubElement(task, "FsTaskDefinition", {"ss": "2", "es": "4"})
        tp = ET.SubElement(task, "FsParticipants")
        for n in range(1, 101):
            ET.SubElement(tp, "FsParticipant", {"id": str(n + 100)})
    ET.indent(fs, space="  ")
    text = ET.tostring(fs, encoding="unicode")
    # The notes hold markup in a CDATA section, which the module cannot write.
    text = text.replace("<FsCompetitionNotes />",
                        "<FsCompetitionNotes><![CDATA[<b>Briefing</b> at 9 & <i>take-off</i>]]></FsCompetitionNotes>")
    text = '<?xml version="1.0" encoding="utf-8"?>\n' + text + "\n"
    with open("fs_generated.fsdb", "wb") as f:
        f.write(b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8"))


def csv_file():
    rows = [["Name", "CompId", "CivlId", "Device1", "Device2", "Device3", "Device4"],
            ["Anna Berg", "12", "", "", "", "", ""],
            ["Berg, Anna", "13", "34567", "GARMIN 1234", "", "", ""],
            ['Eva "Flash" Ulm', "", "99", "A,B", "Flymaster 7", "", ""],
            ["Weiß Østby", "2147483647", "0", "", "", "", "MTK ÆØÅ"]]
    with open("pilots_python.csv", "w", newline="", encoding="utf-8-sig") as f:
        csv.writer(f).writerows(rows)
    with open("pilots_python.csv", newline="", encoding="utf-8-sig") as f:
        assert list(csv.reader(f)) == rows


fs_file()
csv_file()
