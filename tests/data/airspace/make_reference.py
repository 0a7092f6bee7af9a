#!/usr/bin/env python3
"""Reference points for the arc and circle expansion of the airspace files
here, computed with GeographicLib's GeodSolve (an independent geodesic
implementation). Run from this folder; writes <file>.arcs.ref for each file.

Each line: index of the CTR in the file (from 0), segment index within it, step, latitude, longitude
(degrees), tab separated. Circles: 37 points at azimuth 90 - 10 k, the radius
in metres = nautical miles x 1852 (or km x 1000), rounded. DA arcs: steps of
sweep / n, n = max(2, 1 + trunc(sweep / 10)). DB arcs: the radii and azimuths
of both end points from the centre, both interpolated linearly."""
import re
import subprocess
import sys

COORD = r"\s*(\d+)(?:([.,]\d*)|:(\d+)(?:([.,]\d*)|:(\d+)([.,]\d*)?)?)\s*([NnSsEeWw])"
PAIR = re.compile(COORD + r"\s+" + COORD)


def coord(m, o):
    deg, fdeg, mins, fmin, secs, fsec, hem = m.group(*range(o + 1, o + 8))
    v = float(deg)
    if fdeg is not None:
        v += float("0" + fdeg.replace(",", "."))
    elif mins is not None:
        mm = float(mins)
        if fmin is not None:
            mm += float("0" + fmin.replace(",", "."))
        elif secs is not None:
            mm += (float(secs) + (float("0" + fsec.replace(",", ".")) if fsec else 0.0)) / 60.0
        v += mm / 60.0
    return -v if hem in "SsWw" else v


def pairs(text):
    return [(coord(m, 0), coord(m, 7)) for m in PAIR.finditer(text)]


def radius(text):
    m = re.match(r"\s*(\d+(?:[.,]\d*)?)\s*(km|KM)?", text)
    v = float(m.group(1).replace(",", "."))
    return int(v * (1000.0 if m.group(2) else 1852.0) + 0.5)


def geod(args, lines):
    out = subprocess.run(["GeodSolve", "-p", "9"] + args, input="\n".join(lines) + "\n",
                         capture_output=True, text=True, check=True).stdout.split("\n")
    return [list(map(float, l.split())) for l in out if l.strip()]


def main(path):
    jobs = []      # (name, segment, kind, data)
    name, seg, centre, direction = -1, 0, None, "+"
    for raw in open(path, encoding="latin-1").read().replace("\r", "\n").split("\n"):
        line = raw.strip()
        if not line or line.startswith("*"):
            continue
        key, _, arg = line.partition(" ")
        if key == "AN":
            name, seg, direction = name + 1, 0, "+"
        elif key == "V":
            v = arg.replace(" ", "")
            if v.startswith("D="):
                direction = v[2]
            elif v.startswith("X="):
                centre = pairs(arg)[0]
        elif key == "DP":
            seg += 1
        elif key == "DC":
            jobs.append((name, seg, "circle", (centre, radius(arg))))
            seg += 1
        elif key == "DA":
            r, b1, b2 = arg.split(",")
            jobs.append((name, seg, "da", (centre, radius(r), float(b1), float(b2), direction)))
            seg += 1
        elif key == "DB":
            p1, p2 = pairs(arg)
            jobs.append((name, seg, "db", (centre, p1, p2, direction)))
            seg += 1

    # Inverse problems first (DB radii and azimuths), in one GeodSolve run.
    inv = [f"{j[3][0][0]!r} {j[3][0][1]!r} {p[0]!r} {p[1]!r}"
           for j in jobs if j[2] == "db" for p in (j[3][1], j[3][2])]
    inv_out = iter(geod(["-i"], inv)) if inv else iter(())

    direct, labels = [], []
    for name_, seg_, kind, d in jobs:
        if kind == "circle":
            (lat, lon), r = d
            for k in range(37):
                direct.append(f"{lat!r} {lon!r} {90.0 - 10.0 * k!r} {r}")
                labels.append((name_, seg_, k))
            continue
        if kind == "da":
            (lat, lon), r, b1, b2, dirn = d
            sweep = b2 - b1
            if sweep < 0:
                sweep += 360.0
            if dirn == "-":
                sweep = 360.0 - sweep
            start, turn, r1, r2 = b1, (-1.0 if dirn == "-" else 1.0), r, r
        else:
            (lat, lon), _, _, dirn = d
            az1, _, r1 = next(inv_out)
            az2, _, r2 = next(inv_out)
            ccw = az1 - az2
            while ccw < 0:
                ccw += 360.0
            while ccw >= 360.0:
                ccw -= 360.0
            sweep = 360.0 - ccw if dirn == "+" else ccw
            start, turn = az1, (1.0 if dirn == "+" else -1.0)
        steps = max(2, 1 + int(sweep / 10.0))
        for k in range(steps + 1):
            f = k / steps
            direct.append(f"{lat!r} {lon!r} {start + turn * sweep * f!r} {r1 + (r2 - r1) * f!r}")
            labels.append((name_, seg_, k))

    out = geod([], direct) if direct else []
    with open(path + ".arcs.ref", "w") as f:
        for (n, s, k), (lat2, lon2, _) in zip(labels, out):
            f.write(f"{n}\t{s}\t{k}\t{lat2:.9f}\t{lon2:.9f}\n")
    print(path, len(labels), "points")


if __name__ == "__main__":
    for p in sys.argv[1:] or ["openair.txt", "openair_2.txt", "AirspaceAus-DAA.txt"]:
        main(p)
