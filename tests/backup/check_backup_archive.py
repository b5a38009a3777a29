#!/usr/bin/env python3
"""A backup archive written under Wine, read natively as users' tools read it.

check_backup_archive.py BACKUP_SAMPLE_EXE WINE_RUN WORK_FOLDER

backup_sample.exe makes a tree (names in several scripts, a read-only, a hidden, an empty and a
3 MB file, each with a known time) and its archive. Info-ZIP's unzip tests the archive; Python's
zipfile checks every name, the UTF-8 flag, the method, the time, the attributes and the bytes. Then
an archive written onto a full device must fail with the system's text and the archive's path.
"""
import os
import shutil
import subprocess
import sys
import zipfile

exe, wine_run, work = sys.argv[1:4]
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)


def windows(path):
    # Wine's Z: drive is the host's root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(*args):
    return subprocess.run([wine_run, exe, *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=100)


# name in the archive -> (time as the archive shows it, DOS attribute bits set, bits clear)
READONLY, HIDDEN = 0x01, 0x02
expected = {
    "Program/readonly.txt": ((2020, 2, 29, 12, 0, 0), READONLY, HIDDEN),
    "Program/hidden.txt": ((2020, 2, 29, 12, 0, 2), HIDDEN, READONLY),
    "Program/empty.txt": ((2018, 7, 4, 4, 4, 4), 0, READONLY | HIDDEN),
    "Program/Café/Résumé été.txt": ((2022, 3, 1, 17, 30, 10), 0, READONLY | HIDDEN),
    "Program/Data/big.bin": ((2020, 1, 3, 23, 59, 58), 0, READONLY | HIDDEN),  # two-second steps
    "Program/Русский/Тест.txt": ((2021, 6, 15, 13, 45, 30), 0, READONLY | HIDDEN),
    "Program/日本語/設定.ini": ((2019, 12, 24, 8, 0, 0), 0, READONLY | HIDDEN),
}

shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
try:
    made = run("make", windows(work))
    if made.returncode != 0:
        sys.exit("backup_sample make failed: " + made.stderr.decode(errors="replace"))
    archive = os.path.join(work, "backup.zip")

    tested = subprocess.run(["unzip", "-tqq", archive], capture_output=True)
    check(tested.returncode == 0, "unzip -t: " + (tested.stdout + tested.stderr).decode(errors="replace"))

    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        check(sorted(i.filename for i in infos) == sorted(expected),
              "names: %s" % [i.filename for i in infos])
        for info in infos:
            if info.filename not in expected:
                continue
            when, on, off = expected[info.filename]
            name = info.filename
            check(info.flag_bits & 0x800, name + ": UTF-8 flag (bit 11) missing")
            check(info.compress_type == zipfile.ZIP_DEFLATED, name + ": method %d" % info.compress_type)
            check(info.date_time == when, name + ": time %s, expected %s" % (info.date_time, when))
            check(info.create_system == 0, name + ": system of origin %d, expected MS-DOS" % info.create_system)
            attributes = info.external_attr & 0xFF
            check(attributes & on == on and attributes & off == 0, name + ": attributes %#x" % attributes)
            with open(os.path.join(work, "tree", *name.split("/")[1:]), "rb") as f:
                original = f.read()
            check(z.read(info) == original, name + ": other bytes")  # zipfile checks the CRC too
        big = z.getinfo("Program/Data/big.bin")
        check(big.file_size == 3 << 20 and big.compress_size < big.file_size, "big.bin: sizes")

    # A full disk: the system's text and the archive's path (a link to the full device stands
    # for a full drive; the link itself cannot be deleted through it).
    if os.path.exists("/dev/full"):
        full = os.path.join(work, "full.zip")
        os.symlink("/dev/full", full)
        result = run("write", windows(os.path.join(work, "tree")), windows(full))
        message = result.stderr.decode("utf-8", errors="replace").strip()
        check(result.returncode == 1, "full disk: exit code %d" % result.returncode)
        check(message.startswith('Cannot write "%s": ' % windows(full)) and "Unknown" not in message,
              "full disk: " + message)
finally:
    shutil.rmtree(work, ignore_errors=True)  # read-only files and the link go as any other

for failure in failures:
    print("FAILED:", failure)
print("backup archive: %d problem(s)" % len(failures))
sys.exit(1 if failures else 0)
