#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (fuzz/corpus/<target>/) from real tool output and a simulated machine.

    make_seeds.py CORPUS_DIR SIM_ROOT
    make_seeds.py --current

CORPUS_DIR is the shared corpus (its fixtures/ bodies are the tool's own lines); SIM_ROOT a root laid out by
"dovododuzu-sim setup". Each seed of a line target is one line; each seed of a listing target is one whole
output. Today's tools (JSON reports, blkid) are seeded from the test fixtures in tests/data/current/, which
"--current" alone rewrites. The seeds are checked in; run this again only to refresh them.
"""
import glob
import hashlib
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def fixture_bodies(corpus, prefix):
    """The bodies of every fixture whose name starts with prefix, each a list of lines."""
    bodies = []
    for path in sorted(glob.glob(os.path.join(corpus, "fixtures", prefix + "*.fixture"))):
        body = []
        for line in open(path, encoding="utf-8", errors="surrogateescape").read().split("\n"):
            if line.startswith("#> section"):
                if body:
                    bodies.append(body)
                body = []
            elif not line.startswith("#>"):
                body.append(line)
        if body:
            bodies.append(body)
    return bodies


def sim_output(root, program, *args):
    # The simulated tool is started directly with an argument vector; stderr merged as the library reads it.
    run = subprocess.run([root + program, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    return run.stdout.decode("utf-8", "surrogateescape").split("\n")


def write_seeds(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for seed in seeds:
        data = seed.encode("utf-8", "surrogateescape") if isinstance(seed, str) else seed
        name = hashlib.sha1(data).hexdigest()[:16]
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def unique_lines(listings):
    seen = []
    for listing in listings:
        for line in listing:
            if line.strip() and line not in seen:
                seen.append(line)
    return seen


# The fields the full-report parser reads; the seeds keep only these so that a whole report fits the fuzzer's
# input length.
REPORT_FIELDS = {
    "vg": ["vg_name", "vg_uuid", "vg_attr", "vg_size", "vg_free", "vg_extent_size", "vg_extent_count",
           "vg_free_count", "pv_count", "lv_count", "snap_count", "max_lv", "max_pv", "vg_seqno"],
    "pv": ["pv_name", "pv_uuid", "pv_size", "dev_size", "pv_pe_count", "pv_pe_alloc_count"],
    "lv": ["lv_uuid", "lv_name", "lv_path", "lv_dm_path", "lv_attr", "lv_role", "origin", "lv_allocation_policy",
           "lv_size", "origin_size", "lv_active", "lv_skip_activation", "lv_kernel_major", "lv_kernel_minor",
           "lv_read_ahead", "seg_count"],
    "pvseg": ["pvseg_start", "pvseg_size", "pv_uuid", "lv_uuid"],
    "seg": ["segtype", "seg_start_pe", "seg_size_pe", "seg_pe_ranges", "lv_uuid"],
}


def reduced_report(text):
    report = json.loads(text)
    for element in report["report"]:
        for section, entries in element.items():
            element[section] = [{k: v for k, v in e.items() if k in REPORT_FIELDS.get(section, [])} for e in entries]
    return report


def current_seeds():
    data = os.path.join(HERE, "..", "tests", "data", "current")
    read = lambda name: open(os.path.join(data, name), encoding="utf-8").read()
    reports = [reduced_report(read(name)) for name in ("lvm-fullreport.json", "lvm-fullreport-k.json")]
    fullreport = [json.dumps(r, separators=(",", ":")) for r in reports]
    fullreport += [json.dumps({"report": [element]}, indent=2) for r in reports for element in r["report"]]
    fullreport.append("  WARNING: text before\n" + json.dumps(reports[1], separators=(",", ":"))[:1500])
    write_seeds("lvm_fullreport", fullreport)
    write_seeds("lsblk_json", [read("lsblk-tree.json"), read("lsblk-list.json"),
                               '{"blockdevices": [{"name": "sda", "size": "8", "children": [{"name": "sda1", '
                               '"type": "part", "children": [{"name": "vg-a", "type": "lvm"}]}]}]}'])
    write_seeds("blkid", [read("blkid-export.txt"), read("blkid-default.txt"),
                          "DEVNAME=/dev/a\\ b\nTYPE=ext4\n\n/dev/c: LABEL=\"x \\\"TYPE=\\\"\" TYPE=\"swap\"\n"])


def main():
    current_seeds()
    if sys.argv[1:] == ["--current"]:
        return
    corpus, root = sys.argv[1], sys.argv[2]
    lvm = "/sbin/lvm.static"
    lister = sim_output(root, "/usr/lib/vururer/lib/veziva.cli", "dev", "lsdev", "-C", "-c", "storage")
    vgscan = fixture_bodies(corpus, "vgscan") + [sim_output(root, lvm, "vgscan")]
    vgdisplay = fixture_bodies(corpus, "vgdisplay-c") + [
        sim_output(root, lvm, "vgdisplay", "-c", "my-vg"), sim_output(root, lvm, "vgdisplay", "-c", "vg.backup")]
    pvscan = fixture_bodies(corpus, "pvscan") + [sim_output(root, lvm, "pvscan")]
    lvscan = fixture_bodies(corpus, "lvscan") + [sim_output(root, lvm, "lvscan", "-D")]
    lv_colon = fixture_bodies(corpus, "lvdisplay-c") + [
        sim_output(root, lvm, "lvdisplay", "-c", "/dev/my-vg/home"),
        sim_output(root, lvm, "lvdisplay", "-c", "/dev/vg.backup/archive"),
        sim_output(root, lvm, "lvdisplay", "-c", "-D", "/dev/vg.backup/archive")]
    lv_text = [b for prefix in ("lvdisplay-plain", "lvdisplay-snapshot", "lvdisplay-v", "lvdisplay-m", "lvdisplay-lvm1")
               for b in fixture_bodies(corpus, prefix)]
    for form in (["-v"], ["-m"], []):
        for volume in ("/dev/my-vg/home", "/dev/my-vg/snap1", "/dev/my-vg/music"):
            lv_text.append(sim_output(root, lvm, "lvdisplay", *form, volume))
    lv_text.append(sim_output(root, lvm, "lvdisplay", "-v", "-D", "/dev/vg.backup/archive"))
    pv_colon = fixture_bodies(corpus, "pvdisplay") + [
        sim_output(root, lvm, "pvdisplay", "-c", dev) for dev in ("/dev/sda5", "/dev/sdb5", "/dev/sdc2")]
    pv_table = [sim_output(root, lvm, "pvdisplay", "-v", dev) for dev in ("/dev/sda5", "/dev/sdb2", "/dev/sdb5")]
    colon_lines = unique_lines(vgdisplay + lv_colon) + [l for b in pv_colon for l in b if l.count(":") > 5]

    write_seeds("vgscan_line", unique_lines(vgscan))
    write_seeds("vgdisplay_record", unique_lines(vgdisplay) + ['vgdisplay -- "vg.backup" is NOT active; try -D'])
    write_seeds("pvscan_line", unique_lines(pvscan))
    write_seeds("lvscan_line", unique_lines(lvscan))
    write_seeds("lvdisplay_colon", unique_lines(lv_colon))
    write_seeds("lvdisplay_text", ["\n".join(b) for b in lv_text])
    write_seeds("pvdisplay_colon", ["\n".join(b) for b in pv_colon])
    write_seeds("pvdisplay_table", ["\n".join(b) for b in pv_table])
    write_seeds("lister_line", unique_lines([lister]))
    # splitline: the first byte is the separator, the second the field capacity.
    write_seeds("splitline", [":\x20" + l for l in colon_lines] + ["\t\x10" + l for l in unique_lines([lister])])
    # getrematch: the first byte picks one of the library's fixed patterns.
    rematch = []
    # In the order of fuzz_getrematch.cpp's pattern table; a few dozen lines each keep the corpus small.
    for index, listing in enumerate((vgscan, vgscan, vgdisplay, pvscan, lvscan, lv_text, lv_text)):
        rematch += [chr(index) + l for l in unique_lines(listing)[:40]]
    write_seeds("getrematch", rematch)
    # findWord: the first byte is the word index.
    write_seeds("findword", ["\x01" + l for l in unique_lines([b for b in pv_table])] +
                ["\x08" + l for l in unique_lines(pvscan)])
    write_seeds("prettify", [
        "Starting LVM\x1b[60G[\x1b[1;32m  OK  \x1b[0;39m]",
        "Checking\x1b[60G[\x1b[1;31mFAILED\x1b[0;39m]\n\x1b[1;33mwarning\x1b[0;33m \x1b[0;32mdone\x1b[0;31m\x1b[1;39m",
        "plain text without escapes", "\x1b[0m reset \x1b[61G \x1b", "\x1b[1;3\x1b[1;33m3m"])


if __name__ == "__main__":
    main()
