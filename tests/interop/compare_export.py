#!/usr/bin/env python3
"""Reads vexstat's three exports of one period back with standard readers
and checks that they hold the same figures: the CSV (Python's csv module)
and the parsed metrics against the JSON, the days against the totals.
Prints "ok", or one line per difference.

Usage: compare_export.py EXPORT.json EXPORT.csv METRICS.json
"""
import csv
import json
import sys

FIGURES = ["files_in", "files_out", "bytes_in", "bytes_out"]


def main(json_path, csv_path, metrics_path):
    problems = []
    data = json.load(open(json_path, encoding="utf-8"))
    with open(csv_path, encoding="utf-8", newline="") as f:
        reader = csv.DictReader(f)
        header = reader.fieldnames
        rows = list(reader)
    if header != ["table", "name", "description"] + FIGURES + ["files", "bytes", "kind"]:
        problems.append("csv header %r" % header)

    def figures(row):
        return {k: int(row[k]) for k in FIGURES}

    def table(name):
        return [r for r in rows if r["table"] == name]

    def same(what, got, want):
        if got != want:
            problems.append("%s: %r != %r" % (what, got, want))

    same("period", [(r["name"], r["description"]) for r in table("period")],
         [(data["period"]["from"], data["period"]["to"])])
    same("totals", [figures(r) for r in table("totals")], [data["totals"]])
    same("previous", [figures(r) for r in table("previous_totals")],
         [data["previous"]["totals"]])
    def without_names(rows):
        return [{k: v for k, v in r.items() if k not in ("name", "sysop", "location")}
                for r in rows]

    # The rows of the period and of the previous period, each in its tables.
    for prefix, period in (("", data), ("previous_", data["previous"])):
        same(prefix + "areas", [dict(tag=r["name"], description=r["description"], **figures(r))
                                for r in table(prefix + "area")], period["areas"])
        for csv_name, key in (("link", "links"), ("origin", "origins")):
            same(prefix + key, [dict(address=r["name"], **figures(r))
                                for r in table(prefix + csv_name)], without_names(period[key]))
        same(prefix + "downlinks",
             [dict(address=r["name"], files=int(r["files"]), bytes=int(r["bytes"]))
              for r in table(prefix + "downlink")], without_names(period["downlinks"]))
    same("days", [dict(date=r["name"], **figures(r)) for r in table("day")], data["days"])
    same("notes", [dict(kind=r["kind"], subject=r["name"], text=r["description"])
                   for r in table("note")],
         [dict(kind=n["kind"], subject=n["subject"], text=n["text"]) for n in data["notes"]])
    for k in FIGURES:
        same("days sum " + k, sum(d[k] for d in data["days"]), data["totals"][k])

    families = {f["name"]: f for f in json.load(open(metrics_path, encoding="utf-8"))}
    for f in families.values():
        if f["type"] != "GAUGE" or not f.get("help"):
            problems.append("metric family %s: %s without help" % (f["name"], f["type"]))

    def samples(name, label):
        out = {}
        for m in families.get(name, {}).get("metrics", []):
            labels = m.get("labels", {})
            out[(labels.get(label), labels.get("direction"))] = int(float(m["value"]))
        return out

    def expect(name, label, items, key, value_in, value_out):
        want = {}
        for item in items:
            want[(item[key] if key else None, "in")] = item[value_in]
            want[(item[key] if key else None, "out")] = item[value_out]
        same(name, samples(name, label), want)

    expect("vexstat_files", None, [data["totals"]], None, "files_in", "files_out")
    expect("vexstat_bytes", None, [data["totals"]], None, "bytes_in", "bytes_out")
    expect("vexstat_area_files", "area", data["areas"], "tag", "files_in", "files_out")
    expect("vexstat_area_bytes", "area", data["areas"], "tag", "bytes_in", "bytes_out")
    expect("vexstat_link_files", "link", data["links"], "address", "files_in", "files_out")
    expect("vexstat_origin_bytes", "origin", data["origins"], "address", "bytes_in", "bytes_out")
    same("vexstat_downlink_files", samples("vexstat_downlink_files", "downlink"),
         {(d["address"], None): d["files"] for d in data["downlinks"]})
    expect("vexstat_previous_files", None, [data["previous"]["totals"]], None,
           "files_in", "files_out")
    print("\n".join(problems) if problems else "ok")


if __name__ == "__main__":
    main(*sys.argv[1:])
