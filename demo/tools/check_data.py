#!/usr/bin/env python3
"""Checks the release data of the setup program before it is packed.

    check_data.py [--setup-dir DIR] [--product-dir DIR]   (defaults: ../setup and ../product)

It reports, and ends with exit code 1 for, what would go wrong at run time: a text key that the
setup program reads but "English.lng" lacks, a format text with the wrong number of "%s", a
language file without its "File" entries or with an icon that is not a 16x16 .ico, a component or
licence whose file is in neither folder, a run entry whose caption key is missing, a shortcut that
would never be made, a missing picture, an incomplete "addons.ini". Keys that a translation has but
English lacks are reported as warnings (usually typos). Standard library only.
"""

import argparse
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

# Programs built from source and packed beside the data files.
BUILT_PROGRAMS = {"orvo.exe", "elevator.exe", "addonsetup.exe"}

# Every section and key that the setup program reads from the language files.
KEYS = {
    "Common": "Caption bBack bNext bInstall bUninstall bFinish lBrowse lNewFolder lOk lCancel "
    "A1 A2 A3 A4 A5 A6 A7 A8 A9 E1 E3 E4 E6 E8 E9 E10 E11 Q1 QM QM2 Help",
    "PageWelcome": "Title Description L1 L2",
    "PageLicense": "Title Description L1",
    "PageSetup": "Title Description LB1 LB2 Browse CB1 CB2 CB3 CB3Hint CB4 W1 W3",
    "PageAddons": "Title Description L0 L1 L2 CB1 CB2 CB3",
    "PageIntegration": "Title Description LB1 LB2 CB1 CB2 CB3 CB4 CB5 CB4Hint",
    "PageReadyToInstall": "Title Description",
    "PageInstall": "Title Description L1",
    "PageFinish": "Title Description L1 L2 L3 E1 E2",
    "PageUninstallParams": "Title Description CB1 CB2",
    "PageUninstall": "Title Description L1",
    "PageUninstallFinish": "Title Description L1 L2 E1 E2",
}
FILE_KEYS = ["Name", "Author", "LangId", "VersionId", "Icon", "ANSICP", "Family"]
# Texts used as format patterns, with the number of "%s" each one receives.
FORMATS = {
    ("common", "e1"): 1,
    ("common", "e3"): 1,
    ("common", "qm2"): 1,
    ("common", "e8"): 1,
    ("common", "e9"): 1,
    ("common", "e10"): 2,
    ("common", "e11"): 1,
    ("pageaddons", "l1"): 1,
    ("pageaddons", "l2"): 2,
}
SETTINGS = ["ProductName", "Publisher", "HomePage", "ProductVersion", "ProductVersionId", "BuildDate",
            "ProductVersionNo"]
ADDON_KEYS = ["I0", "L0", "L1", "L2", "P1", "P2", "P3", "P4", "CL"]
PICTURES = ["header.png", "header_dark.png", "wizard_light.png", "wizard_dark.png"]


class Report:
    def __init__(self):
        self.errors = 0

    def error(self, where, text):
        self.errors += 1
        print(f"error: {where}: {text}")

    def warning(self, where, text):
        print(f"warning: {where}: {text}")


def decode_text(data):
    """The text of an INI-style file: byte-order marks as the setup program detects them; without
    one, UTF-8 is assumed here (the program would use the system's ANSI code page)."""
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8")
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    if data.startswith(b"\xfe\xff"):
        return data[2:].decode("utf-16-be")
    return data.decode("utf-8")


def read_ini(path):
    """{section (lower case): {key (lower case): value}}, read like the setup program does: no
    trimming, the first occurrence of a key wins, lines before the first section are dropped."""
    sections = {}
    current = None
    for line in re.split(r"\r\n|\r|\n|\u2028", decode_text(path.read_bytes())):
        if not line:
            continue
        if line.startswith("["):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.lower(), value)
    return sections


def check_format(report, where, value, expected):
    directives = re.findall(r"%.", value)
    if directives.count("%s") != expected or any(d not in ("%s", "%%") for d in directives):
        report.error(where, f'needs exactly {expected} "%s" and no other % directive: {value!r}')


def check_icon(report, where, hex_text):
    try:
        data = bytes.fromhex(hex_text)
    except ValueError:
        report.error(where, "Icon is not hexadecimal text")
        return
    if hex_text != hex_text.upper():
        report.warning(where, "Icon should use uppercase hexadecimal digits")
    reserved, kind, count = struct.unpack_from("<HHH", data) if len(data) >= 6 else (0, 0, 0)
    if reserved != 0 or kind != 1 or count == 0 or len(data) < 6 + 16 * count:
        report.error(where, "Icon is not an .ico file")
        return
    sizes = [(data[6 + 16 * i] or 256, data[7 + 16 * i] or 256) for i in range(count)]
    if (16, 16) not in sizes:
        report.error(where, f"Icon has no 16x16 image (sizes {sizes})")


def check_languages(report, setup_dir, caption_keys):
    files = sorted(setup_dir.glob("*.lng"))
    english_path = setup_dir / "English.lng"
    if not english_path.exists():
        report.error(setup_dir, '"English.lng" is missing; every run loads it')
        return
    english = read_ini(english_path)
    required = {section.lower(): keys.split() for section, keys in KEYS.items()}
    required["pagefinish"] = required["pagefinish"] + caption_keys
    for section, keys in required.items():
        for key in keys:
            if not english.get(section, {}).get(key.lower()):
                report.error(english_path.name, f"[{section}] {key} is missing or empty")
    for path in files:
        language = read_ini(path)
        info = language.get("file", {})
        for key in FILE_KEYS:
            if key.lower() not in info:
                report.error(path.name, f"[File] {key} is missing")
        for key in ("LangId", "VersionId", "ANSICP"):
            if not re.fullmatch(r"-?\d+", info.get(key.lower(), "0")):
                report.error(path.name, f"[File] {key} is not a number")
        if info.get("icon"):
            check_icon(report, path.name, info["icon"])
        for (section, key), count in FORMATS.items():
            value = language.get(section, {}).get(key)
            if value is not None:
                check_format(report, f"{path.name} [{section}] {key}", value, count)
        if path != english_path:
            for section, keys in language.items():
                if section == "file":
                    continue
                for key in keys:
                    if key not in english.get(section, {}):
                        report.warning(path.name, f"[{section}] {key} is not in English.lng")
    russian = setup_dir / "Russian.lng"
    if russian.exists() and "pageaddons" not in read_ini(russian):
        report.warning(russian.name, "the add-ons page is shown in Russian only, but [PageAddons] is missing")


def find_file(name, dirs):
    return name.lower() in BUILT_PROGRAMS or any((d / name).is_file() for d in dirs)


def lower_tags(element):
    element.tag = element.tag.lower()
    for child in element:
        lower_tags(child)
    return element


def check_script(report, setup_dir, product_dir):
    """Returns the caption keys of the run entries."""
    path = setup_dir / "Install.xml"
    try:
        root = lower_tags(ElementTree.parse(path).getroot())
    except (OSError, ElementTree.ParseError) as error:
        report.error(path.name, str(error))
        return []
    dirs = [product_dir, setup_dir]
    licences = root.findall("setup/license/file")
    if not licences:
        report.warning(path.name, "no licence documents")
    for entry in licences:
        if not find_file(entry.get("name", ""), dirs):
            report.error(path.name, f"licence file {entry.get('name')!r} not found")
    product = root.find("product")
    if product is None:
        report.error(path.name, 'no "product" element')
        return []
    settings = {}
    for group in product.findall("settings"):
        for item in group:
            settings[item.get("name", "").lower()] = item.get("value", "")
    for name in SETTINGS:
        if not settings.get(name.lower()):
            report.error(path.name, f'setting "{name}" is missing or empty')
    if not re.fullmatch(r"\d+", settings.get("productversionid", "")):
        report.error(path.name, '"ProductVersionId" is not a number')

    def entries(group):
        return [e for g in product.findall(group) for e in g.findall("file")]

    def source_name(entry):
        return (entry.text or "").strip() or re.split(r"[\\/:]", entry.get("name", ""))[-1]

    for entry in entries("components"):
        target, source = entry.get("name", ""), source_name(entry)
        if not target.startswith("$"):
            report.warning(path.name, f"component target {target!r} does not start with a folder variable")
        if not find_file(source, dirs):
            report.error(path.name, f"component source {source!r} (for {target!r}) not found")
    caption_keys = [source_name(entry) for entry in entries("actions")]
    for entry in entries("shortcuts"):
        name, target = entry.get("name", ""), source_name(entry)
        if "$DESKTOP" not in name.upper() and "$STARTMENU" not in name.upper():
            report.error(path.name, f"shortcut {name!r} is neither on the desktop nor in the start menu")
        if not target.lower().endswith(".exe"):
            report.warning(path.name, f"shortcut {name!r} points to {target!r}; Windows 8 and later get only .exe")
    return caption_keys


def check_addons(report, setup_dir, product_dir):
    path = setup_dir / "addons.ini"
    if not path.exists():
        report.warning(path.name, "missing; the add-ons page and action need it in Russian runs")
        return
    values = {}
    for line in re.split(r"\r\n|\r|\n", decode_text(path.read_bytes())):
        if "=" in line:
            key, value = line.split("=", 1)
            values[key.upper()] = value
    for key in ADDON_KEYS:
        if key not in values:
            report.error(path.name, f'"{key}" is missing')
    check_format(report, f"{path.name} CL", values.get("CL", ""), 1)
    for key in ("I0", "P4"):
        if values.get(key) and not find_file(values[key], [product_dir, setup_dir]):
            report.error(path.name, f'"{key}" names {values[key]!r}, which is not in the packages')


def check_pictures(report, setup_dir):
    for name in PICTURES:
        path = setup_dir / name
        if not path.is_file():
            report.error(name, "missing; the wizard window needs it")
        elif not path.read_bytes().startswith(b"\x89PNG\r\n\x1a\n"):
            report.error(name, "is not a PNG file")


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--setup-dir", type=pathlib.Path, default=here.parent / "setup")
    parser.add_argument("--product-dir", type=pathlib.Path, default=here.parent / "product")
    args = parser.parse_args()
    report = Report()
    caption_keys = check_script(report, args.setup_dir, args.product_dir)
    check_languages(report, args.setup_dir, caption_keys)
    check_addons(report, args.setup_dir, args.product_dir)
    check_pictures(report, args.setup_dir)
    print("release data: " + (f"{report.errors} error(s)" if report.errors else "ok"))
    return 1 if report.errors else 0


if __name__ == "__main__":
    sys.exit(main())
