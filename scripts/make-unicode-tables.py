#!/usr/bin/env python3
"""Writes mount/invisible_characters.cpp, the table of the characters that show nothing of their
own: Unicode's Default_Ignorable_Code_Point (DerivedCoreProperties.txt) and general category Cf,
format (UnicodeData.txt), from the Unicode data that Debian's unicode-data package installs. The
file is committed, so that no build needs the data; the native tests run this with --check, which
writes nothing and fails when the committed table differs from the one the data gives.

    scripts/make-unicode-tables.py [--check] [--data DIR]    (DIR: /usr/share/unicode)
"""
import argparse
import difflib
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
OUTPUT = ROOT / "mount" / "invisible_characters.cpp"


def code_point_ranges(field):
    """"0600..0605" or "00AD" as (first, last)."""
    first, _, last = field.strip().partition("..")
    return int(first, 16), int(last or first, 16)


def default_ignorables(path):
    """The Default_Ignorable_Code_Point ranges, and the version named on the file's first line."""
    lines = path.read_text(encoding="utf-8").splitlines()
    version = re.fullmatch(r"# DerivedCoreProperties-(\d+\.\d+\.\d+)\.txt", lines[0])
    if not version:
        sys.exit(f"{path}: no version on the first line")
    ranges = []
    for line in lines:
        fields = line.split("#", 1)[0].split(";")
        if len(fields) == 2 and fields[1].strip() == "Default_Ignorable_Code_Point":
            ranges.append(code_point_ranges(fields[0]))
    return version.group(1), ranges


def format_characters(path):
    """The ranges of general category Cf; a "<..., First>" line starts a range that "Last>" ends."""
    ranges = []
    first = None
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split(";")
        if len(fields) < 3 or fields[2] != "Cf":
            continue
        value = int(fields[0], 16)
        if fields[1].endswith(", First>"):
            first = value
        elif fields[1].endswith(", Last>"):
            ranges.append((first, value))
        else:
            ranges.append((value, value))
    return ranges


def merged(ranges):
    """Sorted, disjoint ranges covering the same code points; neighbours become one."""
    result = []
    for first, last in sorted(ranges):
        if result and first <= result[-1][1] + 1:
            result[-1] = (result[-1][0], max(result[-1][1], last))
        else:
            result.append((first, last))
    return result


def table_source(version, ranges):
    rows = "\n".join(f"    CodePointRange{{0x{first:04X}, 0x{last:04X}}}," for first, last in ranges)
    return f"""\
// Written by scripts/make-unicode-tables.py from the Unicode {version} data: do not edit.
// The characters that show nothing of their own: Default_Ignorable_Code_Point and general
// category Cf (format).
#include <algorithm>
#include <array>

#include "mount/shown_text.h"

namespace brisvane {{

namespace {{

struct CodePointRange {{
    char32_t first;
    char32_t last;
}};

// Sorted and disjoint.
// clang-format off
constexpr std::array kInvisibleCharacters{{
{rows}
}};
// clang-format on

}}  // namespace

bool IsInvisibleCharacter(char32_t codePoint) {{
    const auto* range =
        std::ranges::lower_bound(kInvisibleCharacters, codePoint, {{}}, &CodePointRange::last);
    return range != kInvisibleCharacters.end() && range->first <= codePoint;
}}

}}  // namespace brisvane
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed table instead of writing it")
    parser.add_argument("--data", type=Path, default=Path("/usr/share/unicode"),
                        help="folder of DerivedCoreProperties.txt and UnicodeData.txt")
    arguments = parser.parse_args()
    sources = [arguments.data / "DerivedCoreProperties.txt", arguments.data / "UnicodeData.txt"]
    for source in sources:
        if not source.is_file():
            sys.exit(f"make-unicode-tables.py: no {source} (Debian package unicode-data)")
    version, ignorables = default_ignorables(sources[0])
    source = table_source(version, merged(ignorables + format_characters(sources[1])))
    if not arguments.check:
        OUTPUT.write_text(source, encoding="utf-8")
        return 0
    committed = OUTPUT.read_text(encoding="utf-8") if OUTPUT.is_file() else ""
    if committed == source:
        return 0
    sys.stdout.writelines(difflib.unified_diff(
        committed.splitlines(keepends=True), source.splitlines(keepends=True),
        str(OUTPUT.relative_to(ROOT)), "from the Unicode data"))
    print(f"{OUTPUT.relative_to(ROOT)} is not what the Unicode {version} data gives: "
          "run scripts/make-unicode-tables.py", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
