#!/usr/bin/env python3
"""Writes harrowkeeps-cmd/src/case_folding_table.cpp, the table names are
compared with whatever their case, from Unicode's CaseFolding.txt: the simple
case folding (statuses C and S), as Windows' file systems fold names.

Only regenerating needs the file; the build uses the table committed.
Debian: apt-get install unicode-data (gives /usr/share/unicode/CaseFolding.txt).

Usage: harrowkeeps-cmd/tools/make-case-folding-table.py [CaseFolding.txt [output.cpp]]
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = "/usr/share/unicode/CaseFolding.txt"
OUTPUT = os.path.join(HERE, "..", "src", "case_folding_table.cpp")
LAST_CODE_POINT = 0x10FFFF


def read_mappings(path):
    """The simple folding as {code point: folded code point}, and the version."""
    version = None
    mappings = {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            if version is None:
                found = re.match(r"#\s*CaseFolding-(\d+\.\d+\.\d+)\.txt", line)
                if found:
                    version = found.group(1)
            data = line.split("#", 1)[0].strip()
            if not data:
                continue
            fields = [field.strip() for field in data.split(";")]
            code, status, mapping = fields[0], fields[1], fields[2]
            # F is the full folding (one letter to several) and T the Turkic
            # one; neither is how a file system compares names.
            if status not in ("C", "S"):
                continue
            targets = mapping.split()
            if len(targets) != 1:
                sys.exit(f"{path}: a simple folding to {len(targets)} code points: {line.strip()}")
            cp = int(code, 16)
            if cp in mappings:
                sys.exit(f"{path}: U+{cp:04X} folds twice")
            mappings[cp] = int(targets[0], 16)
    if version is None:
        sys.exit(f"{path}: no 'CaseFolding-x.y.z.txt' line tells its Unicode version")
    if not mappings:
        sys.exit(f"{path}: no foldings of status C or S")
    return mappings, version


def make_ranges(mappings):
    """Runs of code points, each every `step`-th one (1 or 2) with one delta:
    A-Z is one run of step 1, the Latin pairs of step 2. A run holds code
    points side by side in order, so no run starts inside another."""
    ranges = []  # [first, last, delta, step]
    for cp in sorted(mappings):
        delta = mappings[cp] - cp
        if ranges:
            run = ranges[-1]
            gap = cp - run[1]
            if run[2] == delta:
                if run[0] == run[1] and gap in (1, 2):
                    run[1], run[3] = cp, gap
                    continue
                if gap == run[3]:
                    run[1] = cp
                    continue
        ranges.append([cp, cp, delta, 1])
    return ranges


def fold_by(ranges, cp):
    """The lookup case_folding.cpp does: the last run starting at or before cp."""
    low, high = 0, len(ranges)
    while low < high:
        middle = (low + high) // 2
        if ranges[middle][0] <= cp:
            low = middle + 1
        else:
            high = middle
    if low == 0:
        return cp
    first, last, delta, step = ranges[low - 1]
    if cp <= last and (cp - first) % step == 0:
        return cp + delta
    return cp


def check(mappings, ranges):
    for cp in range(LAST_CODE_POINT + 1):
        expected = mappings.get(cp, cp)
        if fold_by(ranges, cp) != expected:
            sys.exit(f"the ranges fold U+{cp:04X} wrong")
        if mappings.get(expected, expected) != expected:
            sys.exit(f"folding U+{cp:04X} twice gives another letter than once")
        if cp in mappings and (0xD800 <= expected <= 0xDFFF or expected > LAST_CODE_POINT):
            sys.exit(f"U+{cp:04X} folds to U+{expected:04X}, no character")


def write_table(path, ranges, version, source_name, count):
    lines = [
        f"// Made by harrowkeeps-cmd/tools/make-case-folding-table.py from {source_name}",
        f"// (Unicode {version}): the simple case folding, statuses C and S, of {count}",
        f"// code points in {len(ranges)} runs. Do not edit; run the script again instead.",
        '#include "case_folding_table.h"',
        "",
        f'const char caseFoldingUnicodeVersion[] = "{version}";',
        "",
        "// clang-format off",
        "const CaseFoldRange caseFoldRanges[] = {",
    ]
    for first, last, delta, step in ranges:
        lines.append(f"    {{0x{first:04X}, 0x{last:04X}, {delta}, {step}}},")
    lines += [
        "};",
        "// clang-format on",
        "",
        "const std::size_t caseFoldRangeCount = sizeof caseFoldRanges / sizeof caseFoldRanges[0];",
        "",
    ]
    with open(path, "w", encoding="utf-8") as output:
        output.write("\n".join(lines))


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else SOURCE
    output = sys.argv[2] if len(sys.argv) > 2 else OUTPUT
    if not os.path.exists(source):
        sys.exit(f"{source} is missing (Debian: apt-get install unicode-data)")
    mappings, version = read_mappings(source)
    ranges = make_ranges(mappings)
    check(mappings, ranges)
    write_table(output, ranges, version, f"CaseFolding-{version}.txt", len(mappings))
    print(f"{os.path.normpath(output)}: Unicode {version}, {len(mappings)} foldings in "
          f"{len(ranges)} runs")


if __name__ == "__main__":
    main()
