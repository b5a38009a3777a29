#!/usr/bin/env python3
"""Writes the demo licence documents License_EN.rtf, License_RU.rtf and License_DE.rtf.

The texts below are a demonstration licence in this project's own words, not a real one. Each
document is plain RTF that the licence page's rich-text viewer shows: characters outside ASCII are
written as \\uN escapes followed by their byte in the document's code page, so that every RTF reader
shows them.

    make_licences.py [--out-dir DIR]  (default: ../setup)

Standard library only; the output is the same on every run.
"""

import argparse
import pathlib
import sys

LICENCES = {
    "EN": {
        "codepage": 1252,
        "charset": 0,
        "title": "ORVO Demo Release \u2014 License",
        "intro": "This license covers the demonstration release of the ORVO setup program. It is not the "
        "license of the ORVO music player.",
        "terms": [
            "The demonstration release consists of the setup program and small stand-in programs. The "
            "stand-ins show how the setup program installs, updates and removes the player; they play no music.",
            "You may install, run, copy and remove the demonstration release in order to test and evaluate it.",
            "The demonstration release is provided \u201cas is\u201d, without warranty of any kind. The ORVO Demo "
            "Team is not liable for any damage that results from using it.",
            "The released ORVO player comes with its own license, which replaces this text.",
        ],
        "closing": "By ticking the box below you confirm that you have read these terms.",
    },
    "RU": {
        "codepage": 1251,
        "charset": 204,
        "title": "Демонстрационный выпуск ORVO \u2014 лицензия",
        "intro": "Эта лицензия относится к демонстрационному выпуску программы установки ORVO. Это не "
        "лицензия музыкального проигрывателя ORVO.",
        "terms": [
            "Демонстрационный выпуск состоит из программы установки и небольших программ-заглушек. Заглушки "
            "показывают, как программа установки устанавливает, обновляет и удаляет проигрыватель; музыку они "
            "не воспроизводят.",
            "Вы можете устанавливать, запускать, копировать и удалять демонстрационный выпуск, чтобы испытать "
            "и оценить его.",
            "Демонстрационный выпуск предоставляется «как есть», без каких-либо гарантий. Команда ORVO Demo не "
            "несёт ответственности за ущерб, возникший в результате его использования.",
            "Выпущенный проигрыватель ORVO поставляется с собственной лицензией, которая заменяет этот текст.",
        ],
        "closing": "Отмечая флажок ниже, вы подтверждаете, что прочитали эти условия.",
    },
    "DE": {
        "codepage": 1252,
        "charset": 0,
        "title": "ORVO-Demoversion \u2014 Lizenz",
        "intro": "Diese Lizenz gilt für die Demoversion des ORVO-Setups. Sie ist nicht die Lizenz des "
        "Musikplayers ORVO.",
        "terms": [
            "Die Demoversion besteht aus dem Setup-Programm und kleinen Platzhalterprogrammen. Die Platzhalter "
            "zeigen, wie das Setup den Player installiert, aktualisiert und entfernt; sie spielen keine Musik ab.",
            "Sie dürfen die Demoversion installieren, ausführen, kopieren und entfernen, um sie zu testen und "
            "zu bewerten.",
            "Die Demoversion wird \u201ewie besehen\u201c und ohne jede Gewährleistung bereitgestellt. Das ORVO "
            "Demo Team haftet nicht für Schäden, die aus ihrer Verwendung entstehen.",
            "Der veröffentlichte ORVO-Player wird mit einer eigenen Lizenz ausgeliefert, die diesen Text ersetzt.",
        ],
        "closing": "Mit dem Häkchen unten bestätigen Sie, dass Sie diese Bedingungen gelesen haben.",
    },
}


def rtf_text(text, codepage):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            code = ord(ch)
            try:
                fallback = "\\'%02x" % ch.encode("cp%d" % codepage)[0]
            except UnicodeEncodeError:
                fallback = "?"
            out.append("\\u%d%s" % (code - 65536 if code > 32767 else code, fallback))
    return "".join(out)


def rtf_document(licence):
    cp = licence["codepage"]
    lines = [
        "{\\rtf1\\ansi\\ansicpg%d\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset%d Segoe UI;}}" % (cp, licence["charset"]),
        "\\viewkind4\\uc1\\pard\\sa160\\f0\\fs26\\b %s\\b0\\fs18\\par" % rtf_text(licence["title"], cp),
        "%s\\par" % rtf_text(licence["intro"], cp),
    ]
    for number, term in enumerate(licence["terms"], 1):
        lines.append("\\pard\\fi-280\\li280\\sa120 %d.\\tab %s\\par" % (number, rtf_text(term, cp)))
    lines.append("\\pard\\sa120\\i %s\\i0\\par" % rtf_text(licence["closing"], cp))
    lines.append("}")
    return "\r\n".join(lines) + "\r\n"


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out-dir", type=pathlib.Path, default=here.parent / "setup")
    args = parser.parse_args()
    args.out_dir.mkdir(parents=True, exist_ok=True)
    for family, licence in LICENCES.items():
        path = args.out_dir / ("License_%s.rtf" % family)
        path.write_bytes(rtf_document(licence).encode("ascii"))
        print("wrote", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
