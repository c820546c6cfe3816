#!/usr/bin/env python3
"""Turns the plain entries of a window's text table into translatable ones.

    tools/convert-texts.py app/maintexts.h settings/optiontexts.h

Every entry of the forms
    inline const QString Name = QStringLiteral("...");
    inline constexpr const char *kName = "...";
(the literal may span several lines) becomes
    inline constexpr UiText Name { kContext, QT_TRANSLATE_NOOP("Context", "...") };
with the context taken from the table's `kContext` line. Entries whose first line
carries the comment `untranslated` stay as they are. The files are rewritten in
place; run clang-format on them afterwards, then `make translations` to bring the
new texts into translations/byteway_en.ts.
"""
import re
import sys

ENTRY = re.compile(
    r'inline (?:const QString (?P<q>\w+)\s*=\s*QStringLiteral\((?P<qtext>(?:\s*"(?:[^"\\]|\\.)*")+)\s*\)'
    r'|constexpr const char \*(?P<c>\w+)\s*=(?P<ctext>(?:\s*"(?:[^"\\]|\\.)*")+))\s*;(?P<tail>[^\n]*)'
)
CONTEXT = re.compile(r'kContext\s*=\s*"([^"]+)"')


def convert(path):
    with open(path, encoding="utf-8") as f:
        source = f.read()
    context = CONTEXT.search(source)
    if not context:
        sys.exit(f"{path}: no kContext line")
    name = context.group(1)

    def replace(match):
        entry = match.group("q") or match.group("c")
        if entry == "kContext" or "untranslated" in match.group("tail"):
            return match.group(0)
        text = (match.group("qtext") or match.group("ctext")).strip()
        return (f'inline constexpr UiText {entry} {{ kContext, QT_TRANSLATE_NOOP("{name}", {text}) }};'
                + match.group("tail"))

    converted, count = ENTRY.subn(replace, source)
    with open(path, "w", encoding="utf-8") as f:
        f.write(converted)
    print(f"{path}: {converted.count('QT_TRANSLATE_NOOP')} translatable entries")


for table in sys.argv[1:]:
    convert(table)
