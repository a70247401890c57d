#!/usr/bin/env python3
"""Checks the relative links of the project's documentation: every link and image in
README.md, docs/*.md and the Markdown files they link to must name a file or folder that
exists, and a link with an anchor (#section) a heading of its target that gives that anchor, as
the hosting sites derive anchors from headings (lower case, punctuation dropped, blanks as
hyphens, a repeated heading numbered -1, -2, ...). Links to other sites are not followed.
Prints each dead link with its file and line; exits 1 when there is one.

    scripts/check_links.py [FILE.md...]     (default: README.md and docs/*.md)
"""

import glob
import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
# [text](target) and ![alt](target), the target up to a blank or ')'; code spans are removed
# before matching.
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
FENCE = re.compile(r"^\s*(```|~~~)")


def slug(heading):
    text = re.sub(r"`", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    found = set()
    counts = {}
    in_fence = False
    with open(path, encoding="utf-8") as text:
        for line in text:
            if FENCE.match(line):
                in_fence = not in_fence
                continue
            match = re.match(r"^(#{1,6})\s+(.*?)\s*#*\s*$", line)
            if in_fence or not match:
                continue
            base = slug(match.group(2))
            number = counts.get(base, 0)
            counts[base] = number + 1
            found.add(base if number == 0 else f"{base}-{number}")
    return found


def links(path):
    in_fence = False
    with open(path, encoding="utf-8") as text:
        for number, line in enumerate(text, start=1):
            if FENCE.match(line):
                in_fence = not in_fence
                continue
            if in_fence:
                continue
            for match in LINK.finditer(re.sub(r"`[^`]*`", "", line)):
                yield number, match.group(1)


def main(argv):
    pending = [os.path.join(ROOT, p) for p in argv] or (
        [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs", "*.md"))))
    checked = set()
    dead = 0
    count = 0
    while pending:
        path = os.path.normpath(pending.pop(0))
        if path in checked:
            continue
        checked.add(path)
        for number, target in links(path):
            if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                continue  # another site, or mailto:
            count += 1
            file_part, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) \
                if file_part else path
            where = f"{os.path.relpath(path, ROOT)}:{number}"
            if not os.path.exists(resolved):
                print(f"{where}: no such file: {target}")
                dead += 1
                continue
            if anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
                print(f"{where}: no heading for #{anchor} in {os.path.relpath(resolved, ROOT)}")
                dead += 1
                continue
            if resolved.endswith(".md") and resolved.startswith(ROOT):
                pending.append(resolved)
    print(f"links: {count} checked in {len(checked)} files, {dead} dead")
    return 1 if dead else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
