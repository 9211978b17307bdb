#!/usr/bin/env python3
"""Finds texts an operator could see that do not come from UiText.

Every string literal in ui/ (outside the UiText table itself) that reads like words is
reported, unless its line shows it is not shown (an object name, a key, a file or format
pattern) or it is one of the allowed exceptions below. Usage: ui_literals.py SOURCE_DIR
"""
import os
import re
import sys

# Literals that are shown but rightly fixed, each with its reason.
ALLOWED = {
    "Mira Kestrel, shard Ashgrove": "a credit line of the info box: a person's name",
    "Tobias Wend, shard Northmarch": "a credit line of the info box: a person's name",
    "mailto:": "a link's scheme",
    "kov.ini: ": "the settings file's name before its folder",
    "ACCOUNT ": "the server's console command",
    " DELETE": "the server's console command",
    "&All": "looked up in the toolkit's own translations",
    **{level: "a level's name as the server knows it, written into the update file"
       for level in ("Guest", "Player", "Counselor", "Seer", "GM", "Developer", "Admin",
                     "Owner")},
    "Language file not found: ": "the fixed text shown when no language file can be read",
    "Vornex Account Manager": "the product's name",
    "VornexServer": "the server's name",
    "english": "a language's own name in the language list",
    "deutsch": "a language's own name in the language list",
    "Tahoma": "a font family",
    "Exe (*.exe)": "a file-dialog filter",
}

# Files whose literals are not shown, or are English on purpose, with the reason.
SKIPPED_FILES = {
    "AccountSorter.cpp": "sample names the sort keys are checked with, never shown",
    "main.cpp": "the command line's --help, English like kovctl's",
    "LanguageFile.cpp": "element and attribute names of the language files",
}

# A UiText key: the other literals of its line are defaults or names beside it.
KEY = re.compile(r'"(ext|f1|f2|prefs|exp|err|msg|Hint|CharInfo|Info|dlg)_\w+"')

# Lines whose literals are not shown.
NOT_SHOWN = re.compile(
    r"setObjectName|objectName\(|findChild|Ui\(|UiText::|DefaultText\(|qWarning|qDebug|qInfo|"
    r"qCritical|qFatal|Q_ASSERT|#include|setStyleSheet|QIcon\(|QPixmap\(|QImage\(|QUrl\(|"
    r"setProperty|property\(|QRegularExpression|toString\(QStringLiteral|QDateTime|QDate::|"
    r"setApplicationName|setOrganization|setDesktopFileName|addOption|QCommandLineOption|"
    r"getenv|qEnvironmentVariable|QStandardPaths|setWindowRole|\bkey\b|Key\(|"
    r"fromStdString\(k|QLatin1String\(k|\bmake\(|makeEdit\(|makeLabel\(|BlueCaption\(k")

LITERAL = re.compile(r'(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"')


def words(text):
    """True when the literal reads like words an operator would read."""
    letters = re.findall(r"[A-Za-zÄÖÜäöüß]{2,}", text)
    if not letters:
        return False
    if re.fullmatch(r"[a-z0-9_]+", text):  # identifiers, keys, field names
        return False
    if re.fullmatch(r"[a-z]+[A-Z0-9]\w*", text) or re.fullmatch(r"[A-Za-z]+[0-9]+", text):
        return False  # object names: lowerCamel, or a name with a number ("Label1")
    if re.fullmatch(r"\.?[a-z0-9][a-z0-9._/-]*", text):
        return False  # programs, their arguments, file extensions
    if "@" in text or text.startswith("<") or (":" in text and ";" in text):
        return False  # addresses, markup, style sheets
    if re.fullmatch(r"[A-Za-z0-9_]+", text) and not re.search(r"[a-z]", text[1:]):
        return False  # "OK"-like codes and constants
    if re.fullmatch(r"[\w.:/\\*%-]+\.(xml|ini|scp|bak|log|csv|html|xlsx|png|json)", text):
        return False
    if re.fullmatch(r"[A-Z][A-Za-z0-9]*", text) and re.search(r"[a-z][A-Z]", text):
        return False  # CamelCase names (object names, classes)
    return True


def strip_comments(source):
    out, i, n = [], 0, len(source)
    while i < n:
        if source.startswith("//", i):
            j = source.find("\n", i)
            i = n if j < 0 else j
        elif source.startswith("/*", i):
            j = source.find("*/", i + 2)
            out.append("\n" * source.count("\n", i, n if j < 0 else j))
            i = n if j < 0 else j + 2
        elif source[i] == '"':
            m = LITERAL.match(source, i)
            if not m:
                out.append(source[i])
                i += 1
                continue
            out.append(m.group(0))
            i = m.end()
        elif source[i] == "'":
            j = i + 1
            while j < n and source[j] != "'":
                j += 2 if source[j] == "\\" else 1
            out.append(source[i:j + 1])
            i = j + 1
        else:
            out.append(source[i])
            i += 1
    return "".join(out)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    found = []
    for folder, _, files in os.walk(os.path.join(root, "ui")):
        for name in sorted(files):
            if not name.endswith(".cpp") or name == "UiText.cpp" or name in SKIPPED_FILES:
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                lines = strip_comments(f.read()).split("\n")
            for number, line in enumerate(lines, 1):
                if NOT_SHOWN.search(line) or KEY.search(line):
                    continue
                for m in LITERAL.finditer(line):
                    text = m.group(1)
                    if text in ALLOWED or not words(text):
                        continue
                    found.append(f"{os.path.relpath(path, root)}:{number}: \"{text}\"")
    for f in found:
        print(f)
    if found:
        print(f"{len(found)} text(s) shown without UiText: give each an ext_ key "
              "(ui/settings/UiText.cpp, lang/*.xml)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
